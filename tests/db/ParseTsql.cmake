# Runs the T-SQL parser on each file of FILES (a ;-list); any statement it cannot parse fails the test.
#   cmake -DSQLFLUFF=... -DFILES=a.sql;b.sql -P ParseTsql.cmake
if(NOT SQLFLUFF)
    message(FATAL_ERROR "sqlfluff is not installed (scripts/install-deps installs it)")
endif()
foreach(file IN LISTS FILES)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} does not exist")
    endif()
    execute_process(COMMAND "${SQLFLUFF}" parse --dialect tsql "${file}"
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    string(FIND "${output}${errors}" "unparsable" unparsable)
    if(NOT result EQUAL 0 OR NOT unparsable EQUAL -1)
        string(REGEX MATCH "==== parsing violations ====.*" violations "${output}${errors}")
        message(FATAL_ERROR "${file}: T-SQL that does not parse (sqlfluff exit ${result})\n${violations}")
    endif()
    message(STATUS "${file}: every statement parses as T-SQL")
endforeach()
