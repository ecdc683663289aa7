# Installation and packaging: `cmake --install` puts the host, the plug-in, the headers, the core
# library and a CMake package in place, so that another project finds the core with
#     find_package(Vocelle 1.4 REQUIRED)
#     target_link_libraries(app PRIVATE Vocelle::core)
# and `make package` builds Debian packages from the same rules.

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
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ROI to VOI conversion plug-in and its command-line host")
set(CPACK_PACKAGE_DESCRIPTION
    "Turns regions of interest drawn on functional slices into volumes of interest in the anatomical reference cube, for a whole study at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME vocelle)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME vocelle-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libglm-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
include(CPack)
