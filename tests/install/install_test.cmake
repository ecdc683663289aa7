# Installs the build into a fresh prefix, builds the consumer project against the installed
# package alone, runs it, and runs the installed host, which must find the installed plug-in.
# Variables: BUILD_DIR, CONSUMER_DIR, WORK_DIR.
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
step("run the installed host" ${WORK_DIR}/prefix/bin/vocelle info)
if(NOT step_output MATCHES "^name: Vocelle\n")
    message(FATAL_ERROR "the installed host printed \"${step_output}\"")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
