# Installation and packaging: `cmake --install` puts the host, the plug-in, the headers, the core
# library and a CMake package in place, so that another project finds the core with
#     find_package(Vocelle 1.4 REQUIRED)
#     target_link_libraries(app PRIVATE Vocelle::core)
# and `make package` builds Debian packages from the same rules.

# Libraries go in the multiarch folder (lib/x86_64-linux-gnu on Debian) whatever the prefix, so the
# Debian packages, made from a build configured for /usr/local, place them where Debian looks.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CMAKE_INSTALL_LIBDIR)
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
        CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VOCELLE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vocelle)
set(VOCELLE_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/vocelle)

# The installed host finds the installed plug-in relative to itself, wherever the prefix is.
file(RELATIVE_PATH _vocelle_plugin_from_bin
    /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${VOCELLE_INSTALL_PLUGINDIR}/libVocelle.so)
target_compile_definitions(vocelle PRIVATE VOCELLE_INSTALLED_PLUGIN="${_vocelle_plugin_from_bin}")

# The core's headers keep their folders under include/vocelle/, so installed code includes them
# as the tree does: #include <vocelle/formats/myVOI.h>.
target_include_directories(vocelle_core PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(vocelle_core PROPERTIES EXPORT_NAME core)
foreach(_folder text formats math volume)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/${_folder}/
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vocelle/${_folder}
        COMPONENT development
        FILES_MATCHING PATTERN "*.h")
endforeach()

install(TARGETS vocelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(TARGETS Vocelle LIBRARY DESTINATION ${VOCELLE_INSTALL_PLUGINDIR} COMPONENT runtime)
install(TARGETS vocelle_core EXPORT VocelleTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(EXPORT VocelleTargets
    NAMESPACE Vocelle::
    DESTINATION ${VOCELLE_INSTALL_CMAKEDIR}
    COMPONENT development)

# The manual page is made from the host's own help text, so the two cannot disagree.
if(VOCELLE_BUILD_MANPAGE)
    find_program(VOCELLE_HELP2MAN help2man)
    if(NOT VOCELLE_HELP2MAN)
        message(FATAL_ERROR "help2man is needed for the manual page of vocelle (scripts/setup.sh installs it)")
    endif()
    set(_vocelle_man ${PROJECT_BINARY_DIR}/man/vocelle.1)
    add_custom_command(OUTPUT ${_vocelle_man}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${VOCELLE_HELP2MAN} --no-info --section=1
            "--name=convert regions of interest into volumes of interest"
            --output=${_vocelle_man} $<TARGET_FILE:vocelle>
        COMMAND gzip -9nf ${_vocelle_man}
        DEPENDS vocelle
        COMMENT "Making the manual page of vocelle from its help text"
        VERBATIM)
    add_custom_target(vocelle_man ALL DEPENDS ${_vocelle_man}.gz)
    install(FILES ${_vocelle_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT runtime)
endif()

# Each Debian package carries the copyright file in its own documentation folder.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vocelle COMPONENT runtime)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vocelle-dev COMPONENT development)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VocelleConfig.cmake.in
    ${PROJECT_BINARY_DIR}/VocelleConfig.cmake
    INSTALL_DESTINATION ${VOCELLE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VocelleConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VocelleConfig.cmake ${PROJECT_BINARY_DIR}/VocelleConfigVersion.cmake
    DESTINATION ${VOCELLE_INSTALL_CMAKEDIR}
    COMPONENT development)

# Debian packages: vocelle (host and plug-in) and vocelle-dev (headers, core, CMake package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vocelle)
set(CPACK_PACKAGE_VENDOR "Vocelle developers")
set(CPACK_PACKAGE_CONTACT "Vocelle developers <vocelle@localhost>")
# The first line of each is the package's synopsis, the rest its long description. No common
# summary is set: CPack would put it in front of both.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "ROI to VOI conversion plug-in and its command-line host
Turns regions of interest drawn on the slices of a functional run into
volumes of interest in the 256-voxel anatomical reference cube, in AC-PC
or Talairach coordinates, for a whole study at once. This package holds
the plug-in libVocelle.so for the desktop imaging application and the
command-line host vocelle, which runs the same plug-in from a terminal and
also prints, previews and exports the documents.")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "ROI to VOI conversion library - development files
The static core library of Vocelle (the document formats, the conversion
engine and the volume container), its headers and its CMake package, for
programs that read and write region and volume documents or convert
regions themselves with find_package(Vocelle) and Vocelle::core.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME vocelle)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# The preview draws its text in DejaVu Sans; fontconfig would otherwise pick another face.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME vocelle-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libglm-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
include(CPack)
