# Compile and link options of every Vocelle target, set per target so that a project embedding
# Vocelle keeps its own.

# make test-sanitize: every target, the host and the plug-in included, instrumented alike (an
# instrumented plug-in in an uninstrumented host would abort at load). g++'s plain "undefined"
# does not catch a NaN converted to an integer, hence float-cast-overflow; without
# -fno-sanitize-recover a report would not fail the test.
set(VOCELLE_SANITIZE_FLAGS -fsanitize=address,undefined,float-cast-overflow
    -fno-sanitize-recover=all -fno-omit-frame-pointer)

# make fuzz: everything compiled with coverage hooks and both sanitizers; a report must abort, or
# it would not count as a finding.
if(VOCELLE_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VOCELLE_FUZZ needs clang: configure with CXX=clang++")
endif()

function(vocelle_target_options target)
    set_target_properties(${target} PROPERTIES
        CXX_STANDARD 17
        CXX_STANDARD_REQUIRED ON
        CXX_EXTENSIONS OFF
        POSITION_INDEPENDENT_CODE ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    # Results must be bit-identical across compilers and machines: no fused multiply-add.
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
    if(VOCELLE_SANITIZE)
        target_compile_options(${target} PRIVATE ${VOCELLE_SANITIZE_FLAGS})
        target_link_options(${target} PRIVATE ${VOCELLE_SANITIZE_FLAGS})
        # Lets tests scale down work that a sanitizer makes many times slower.
        target_compile_definitions(${target} PRIVATE VOCELLE_SANITIZED=1)
    endif()
    if(VOCELLE_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
            -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()
