# Fuzz targets. Each target is one file fuzz/<Name>.cpp defining LLVMFuzzerTestOneInput, with its seeds in
# fuzz/corpus/<Name>/.
#
# doverariz_add_fuzzer(<Name> LIBS <libs>) builds, with any compiler, <Name>_seeds: a plain executable that
# runs the target over every seed, registered as a test so that the suite replays the seeds (under the
# sanitizers in a sanitizer build). With DOVERARIZ_FUZZ (clang only) it also builds <Name>, the libFuzzer
# binary that scripts/fuzz.sh runs.
function(doverariz_add_fuzzer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    set(corpus "${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name}")
    if(DOVERARIZ_BUILD_TESTS)
        add_executable(${name}_seeds ${name}.cpp ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/SeedRunner.cpp)
        target_link_libraries(${name}_seeds PRIVATE project_options ${ARG_LIBS})
        target_include_directories(${name}_seeds PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
        add_test(NAME ${name}_seeds COMMAND ${name}_seeds "${corpus}")
        set_tests_properties(${name}_seeds PROPERTIES
            ENVIRONMENT "TGTLINK_DELAY_SCALE=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
            TIMEOUT 300)
    endif()
    if(DOVERARIZ_FUZZ)
        add_executable(${name} ${name}.cpp ${ARG_SOURCES})
        target_link_libraries(${name} PRIVATE project_options ${ARG_LIBS})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        set_property(GLOBAL APPEND PROPERTY DOVERARIZ_FUZZERS ${name})
    endif()
endfunction()
