# Installs the build into a fresh prefix, builds the consumer project against the installed
# package alone, runs it, and runs the installed host, which must find the installed plug-in.
# Variables: BUILD_DIR, SOURCE_DIR, CONSUMER_DIR, WORK_DIR.
file(REMOVE_RECURSE ${WORK_DIR})

function(step name)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${name} failed (${result}):\n${out}\n${err}")
    endif()
    set(step_output "${out}" PARENT_SCOPE)
endfunction()

step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix)
foreach(_file share/man/man1/vocelle.1.gz share/doc/vocelle/copyright share/doc/vocelle-dev/copyright)
    step("find the installed ${_file}" ${CMAKE_COMMAND} -E md5sum ${WORK_DIR}/prefix/${_file})
endforeach()
step("configure the consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
     -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix)
step("build the consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step("run the consumer" ${WORK_DIR}/build/consumer ${WORK_DIR}/made.voi)
step("run the imaging consumer" ${WORK_DIR}/build/imaging_consumer ${WORK_DIR})
step("run the analysis consumer" ${WORK_DIR}/build/analysis_consumer)
# Only public headers are installed.
foreach(_internal formats/binaryio.h formats/voxelentries.h text/keyscan.h imaging/niftifile.h)
    if(EXISTS ${WORK_DIR}/prefix/include/vocelle/${_internal})
        message(FATAL_ERROR "the internal header ${_internal} was installed")
    endif()
endforeach()
# The core alone configures without the imaging and analysis libraries' and the host's
# dependencies, and without install rules.
step("configure the core alone" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/core
     -DVOCELLE_BUILD_IMAGING=OFF -DVOCELLE_BUILD_HOST=OFF -DVOCELLE_INSTALL=OFF)
file(STRINGS ${WORK_DIR}/core/CMakeCache.txt _found REGEX "^(CLI11|PNG|ZLIB|CAIRO|NIFTI|PKG_CONFIG|Eigen3|Boost)[A-Za-z0-9_]*:")
if(_found OR EXISTS ${WORK_DIR}/core/CPackConfig.cmake)
    message(FATAL_ERROR "the core alone looked for ${_found} or packaged itself")
endif()
step("run the installed host" ${WORK_DIR}/prefix/bin/vocelle info)
if(NOT step_output MATCHES "^name: Vocelle\n")
    message(FATAL_ERROR "the installed host printed \"${step_output}\"")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
