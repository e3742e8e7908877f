# The tests of the Windows build (cmake/windows-mingw.cmake), run under Wine by scripts/test. They are the core
# tests that need neither a display nor PostgreSQL, nor the Linux process tools of the other tests (a file-size
# limit, the process's descriptors, signals): each test program is one CTest test, started through Wine once,
# because starting Wine for every single case would cost more than the cases.

# GoogleTest from Debian's sources (libgtest-dev brings them), compiled with the cross compiler.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(VORANO_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources for the cross build")
add_subdirectory(${VORANO_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_library(vorano_test_support STATIC
    support/ScriptedService.cpp
    support/TempProgramDir.cpp
    support/CycleHarness.cpp
    support/TestNetwork.cpp
)
target_include_directories(vorano_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vorano_test_support PUBLIC vorano_core ostrel_sim_lib GTest::gtest)
target_compile_definitions(vorano_test_support PUBLIC
    VORANO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
    VORANO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    VORANO_BINARY_DIR="${PROJECT_BINARY_DIR}")
add_library(vorano_test_main_core OBJECT support/TestMainCore.cpp)
target_link_libraries(vorano_test_main_core PUBLIC vorano_core GTest::gtest)

# The Wine runner (scripts/wine-run) finds Qt's and the compiler's DLLs and the plug-ins.
set(VORANO_WINE_RUN ${PROJECT_SOURCE_DIR}/scripts/wine-run)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VORANO_WINE_RUN})

# vorano_add_windows_test(<name> SOURCES ... [LIBS ...] [SKIP case...] [TIMEOUT s]): SKIP names the cases that test
# what Windows or this Qt does otherwise by design (each call says why); they run on Linux.
function(vorano_add_windows_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;SKIP" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE vorano_settings vorano_test_support vorano_test_main_core GTest::gtest
                                          ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${VORANO_WINE_RUN})
    set(filter "")
    if(ARG_SKIP)
        list(JOIN ARG_SKIP ":" skipped)
        set(filter "--gtest_filter=-${skipped}")
    endif()
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1 ${filter})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS wine
                                            ENVIRONMENT "VORANO_QT_WINDOWS=${VORANO_QT_WINDOWS}")
endfunction()

# The Windows Qt is built without ICU: it has no converter for windows-1252 to compare the program's own with, and
# its XML reader refuses a settings file that declares that encoding (the program writes iso-8859-1).
vorano_add_windows_test(base_tests SOURCES
    base/FormatDateTimeTest.cpp base/ConversionsTest.cpp base/ProgramFoldersTest.cpp base/LogLineTextTest.cpp
    base/Windows1252Test.cpp base/WallDateTimeTest.cpp
    SKIP Windows1252.DecodesEveryDefinedByteAsTheCodePageDoes)
vorano_add_windows_test(settings_tests SOURCES settings/ControlsTest.cpp settings/SettingsStoreTest.cpp
    SKIP SettingsStore.HostileFilesAreRefusedOrWrittenInAFormThatReadsBack)
vorano_add_windows_test(link_document_tests SOURCES
    link/TextListTest.cpp link/ReadXmlTagTest.cpp link/XmlTextTest.cpp link/KwpDocumentTest.cpp
    link/SoapEnvelopeTest.cpp link/MarkupLimitsTest.cpp link/TextCutsTest.cpp link/ReplySeedsTest.cpp)
vorano_add_windows_test(link_sim_tests SOURCES link/OstrelSimTest.cpp)
# Windows does not delete a file that a connection holds open, which these two cases do.
vorano_add_windows_test(db_tests SOURCES db/DbSqliteTest.cpp db/StatementTable.cpp db/StatementTableTest.cpp
    SKIP SqliteFile.AFileThatWentAwayIsAnErrorUntilItIsBack SqliteFile.AStatementFailingOnTheConnectionClosesIt)
vorano_add_windows_test(reference_tests SOURCES reference/ReferenceLookupTest.cpp reference/ReferenceListsTest.cpp)
vorano_add_windows_test(trips_pure_test SOURCES
    trips/TripFixtures.cpp trips/RideTextTest.cpp trips/TripValuesTest.cpp trips/RideDefaultsTest.cpp
    trips/NewRideTest.cpp)
vorano_add_windows_test(trips_import_test SOURCES
    trips/TripFixtures.cpp trips/ImportHarness.cpp trips/RetrievalCycleTest.cpp trips/TripChangesTest.cpp
    trips/ManualProcessingTest.cpp trips/TextValuesImportTest.cpp trips/RideStoreTest.cpp)
vorano_add_windows_test(trips_sim_test SOURCES
    trips/TripFixtures.cpp trips/ImportHarness.cpp trips/EndToEnd.cpp trips/RepeatedTrips.cpp
    trips/TripSequences.cpp trips/EndToEndSqliteTest.cpp)
vorano_add_windows_test(feedback_document_tests SOURCES feedback/StatusDocumentTest.cpp)
vorano_add_windows_test(feedback_cycle_tests SOURCES
    feedback/RetourCycleTest.cpp feedback/OwnerLookupTest.cpp feedback/OutboxRows.cpp)
vorano_add_windows_test(feedback_sim_tests SOURCES
    feedback/RetourSimTest.cpp feedback/RetourScenario.cpp feedback/OutboxRows.cpp)
vorano_add_windows_test(service_tests SOURCES
    service/LinkServiceTest.cpp service/CycleWorkerTest.cpp service/ShellTimersTest.cpp
    service/ActionRunnerTest.cpp)
# The version resource windres put into the program, read back by the program's own reader.
vorano_add_windows_test(update_tests SOURCES
    update/TemiVerInfoTest.cpp update/UpdateTextTest.cpp update/ManifestRulesTest.cpp
    LIBS vorano_version_resource)
target_compile_definitions(update_tests PRIVATE
    VORANO_PROJECT_VERSION="${PROJECT_VERSION}"
    VORANO_PROGRAM_FILE="$<TARGET_FILE:VoranoOstrel>")
add_dependencies(update_tests VoranoOstrel)
