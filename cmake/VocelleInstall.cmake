# Installation and packaging: `cmake --install` puts the libraries, their public headers and a
# CMake package in place (and, with the host, the host, its manual page and the plug-in), so that
# another project finds them with
#     find_package(Vocelle 1.4 REQUIRED)
#     target_link_libraries(app PRIVATE Vocelle::core Vocelle::imaging Vocelle::analysis)
# and `make package` builds Debian packages from the same rules. Folders follow GNUInstallDirs:
# for the prefix /usr its multiarch library folder (lib/x86_64-linux-gnu on Debian).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VOCELLE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vocelle)
set(VOCELLE_INSTALL_PLUGINDIR ${CMAKE_INSTALL_LIBDIR}/vocelle)

# Public headers keep their folders under include/vocelle/, so installed code includes them as
# the tree does: #include <vocelle/formats/myVOI.h>. Headers that only the libraries' own sources
# include (binary values, the key scan, voxel lists, the NIfTI-1 library's types) stay behind.
function(vocelle_install_headers folder)
    list(TRANSFORM ARGN PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
    install(FILES ${ARGN} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vocelle/${folder}
        COMPONENT development)
endfunction()
vocelle_install_headers(text fault.h fileopen.h line.h logsink.h safesave.h stringmanipulation.h)
vocelle_install_headers(volume volume.h)
vocelle_install_headers(formats documentchecks.h fileversion.h myFMR.h myROI.h mySDM.h myTAL.h myTRF.h
    myVOI.h)
vocelle_install_headers(math Matrix_math.h conversionengine.h cubespace.h gridmapping.h modifiedNR.h
    trffunctions.h)

set(_vocelle_libraries vocelle_core)
set_target_properties(vocelle_core PROPERTIES EXPORT_NAME core)
target_include_directories(vocelle_core PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
if(VOCELLE_BUILD_IMAGING)
    vocelle_install_headers(imaging labeltable.h niftiexport.h niftiimport.h preview.h regionplot.h
        rgbimage.h underlay.h voistats.h)
    set_target_properties(vocelle_imaging PROPERTIES EXPORT_NAME imaging)
    list(APPEND _vocelle_libraries vocelle_imaging)
endif()
if(VOCELLE_BUILD_ANALYSIS)
    vocelle_install_headers(analysis glm.h measure.h regions.h tables.h timecourse.h)
    set_target_properties(vocelle_analysis PROPERTIES EXPORT_NAME analysis)
    list(APPEND _vocelle_libraries vocelle_analysis)
endif()
install(TARGETS ${_vocelle_libraries} EXPORT VocelleTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(EXPORT VocelleTargets
    NAMESPACE Vocelle::
    DESTINATION ${VOCELLE_INSTALL_CMAKEDIR}
    COMPONENT development)

if(VOCELLE_BUILD_HOST)
    # The installed host finds the installed plug-in relative to itself, wherever the prefix is.
    file(RELATIVE_PATH _vocelle_plugin_from_bin
        /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${VOCELLE_INSTALL_PLUGINDIR}/libVocelle.so)
    target_compile_definitions(vocelle PRIVATE VOCELLE_INSTALLED_PLUGIN="${_vocelle_plugin_from_bin}")
    install(TARGETS vocelle RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
    install(TARGETS Vocelle LIBRARY DESTINATION ${VOCELLE_INSTALL_PLUGINDIR} COMPONENT runtime)
endif()

# The manual page is made from the host's own help text, so the two cannot disagree.
if(VOCELLE_BUILD_MANPAGE)
    find_program(VOCELLE_HELP2MAN help2man)
    if(NOT VOCELLE_HELP2MAN)
        message(FATAL_ERROR "help2man is needed for the manual page of vocelle (scripts/setup.sh installs it)")
    endif()
    set(_vocelle_man ${PROJECT_BINARY_DIR}/man/vocelle.1)
    add_custom_command(OUTPUT ${_vocelle_man}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${VOCELLE_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
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

# Debian packages: vocelle (host and plug-in) and vocelle-dev (headers, libraries, CMake package).
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
The static libraries of Vocelle (the core: document formats, conversion
engine and volume container; imaging: NIfTI-1 export and import, label
tables, statistics and previews; analysis: region time courses and the
fit of a design to them), their headers and their CMake package, for
programs that read and write region and volume documents with
find_package(Vocelle), Vocelle::core, Vocelle::imaging and
Vocelle::analysis.")
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
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libglm-dev, libpng-dev, libcairo2-dev, libfontconfig-dev, libnifti2-dev, zlib1g-dev, fonts-dejavu-core")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
include(CPack)
