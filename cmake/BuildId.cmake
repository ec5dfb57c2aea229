# Run as a script at every build (cmake -DSOURCE_DIR=... -DOUTPUT=... -P BuildId.cmake): writes the header that
# names this build, the commit it was built from (git describe) or, outside a repository, the day of the build.
# The header is rewritten only when the name changes, so that an unchanged tree rebuilds nothing.
execute_process(COMMAND git describe --always --dirty --abbrev=10
                WORKING_DIRECTORY "${SOURCE_DIR}"
                OUTPUT_VARIABLE build_id OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE git_result ERROR_QUIET)
if(NOT git_result EQUAL 0 OR build_id STREQUAL "")
    string(TIMESTAMP build_id "%Y-%m-%d" UTC)
endif()
file(WRITE "${OUTPUT}.new" "#pragma once\n#define DOVERARIZ_BUILD_ID \"${build_id}\"\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
