# The seams with the operating system: a class or file X has XPosix.cpp and XWin.cpp beside its header, and the
# build takes the one of its platform. Nothing else in the tree asks which system it runs on.
if(WIN32)
    set(DOVERARIZ_PLATFORM Win)
else()
    set(DOVERARIZ_PLATFORM Posix)
endif()

# Registers one QtTest executable with ctest. GUI tests run on the offscreen platform; the bench
# handsets run without their realistic delays.
function(doverariz_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${name}.cpp ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE project_options testsupport Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TGTLINK_DELAY_SCALE=0;TGTLINK_BACKEND_DIR=${DOVERARIZ_RUNTIME_DIR};ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        TIMEOUT 300)
endfunction()

# Registers <name>_unprivileged: functions of the QtTest executable <name> that check what happens when a file or
# folder may not be written. Run as root they would be skipped, so tests/support/run-unprivileged.sh runs them as
# nobody then; a skip still left fails the test, so that they never pass without having run.
function(doverariz_add_unprivileged_test name)
    if(WIN32)
        return() # accounts to drop to are a Linux affair here
    endif()
    add_test(NAME ${name}_unprivileged
             COMMAND sh "${PROJECT_SOURCE_DIR}/tests/support/run-unprivileged.sh" $<TARGET_FILE:${name}> ${ARGN})
    get_test_property(${name} ENVIRONMENT environment)
    set_tests_properties(${name}_unprivileged PROPERTIES
        ENVIRONMENT "${environment}"
        FAIL_REGULAR_EXPRESSION "SKIP   : "
        TIMEOUT 300)
endfunction()
