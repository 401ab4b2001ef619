# Warnings as errors for every target of the project.
function(ulx_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror -Wno-error=deprecated-declarations)
endfunction()

set(ULX_REFERENCE_DIR "${PROJECT_SOURCE_DIR}/../shared/reference" CACHE PATH "Reference data read by tests")

# ulx_add_test(NAME name SOURCES ... LIBS ... [GUI] [SERIAL] [ENV VAR=VALUE ...] [FIXTURES fixture])
# One GoogleTest program, registered with CTest, run offscreen with UTF-8 and a
# private APPDATA folder so that no test touches the user's real data folder.
function(ulx_add_test)
    cmake_parse_arguments(T "GUI;SERIAL" "NAME;TIMEOUT;FIXTURES" "SOURCES;LIBS;ENV" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    ulx_warnings(${T_NAME})
    # In a unity build a test file is an included file, where a fixture in an
    # unnamed namespace would be warned about; there it is what we want.
    target_compile_options(${T_NAME} PRIVATE -Wno-subobject-linkage)
    if(T_GUI)
        set(support ulx_test_support_gui ulx_test_main_gui)
    else()
        set(support ulx_test_support ulx_test_main)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${support} GTest::gtest GTest::gmock Threads::Threads)
    target_compile_definitions(${T_NAME} PRIVATE
        ULX_REFERENCE_DIR="${ULX_REFERENCE_DIR}"
        ULX_BIN_DIR="${PROJECT_BINARY_DIR}/bin"
        ULX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    # One compilation per test program: its files share the long parse of the Qt
    # and GoogleTest headers. Their helpers therefore need names of their own.
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests
        UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 0)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(appdata ${PROJECT_BINARY_DIR}/test-appdata/${T_NAME})
    # The test environment goes into a file beside the program, which the shared
    # test main reads first: gtest_discover_tests would spread a list-valued
    # ENVIRONMENT over several property arguments and set only its first variable.
    set(env "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;APPDATA=${appdata};${T_ENV}")
    list(REMOVE_ITEM env "")
    list(JOIN env "\n" env_lines)
    file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/tests/${T_NAME}.env CONTENT "${env_lines}\n")
    set(fixtures)
    if(T_FIXTURES)
        set(fixtures FIXTURES_REQUIRED ${T_FIXTURES})
    endif()
    # SERIAL: tests that measure a deadline run alone, not beside a build of the package.
    set(serial)
    if(T_SERIAL)
        set(serial RUN_SERIAL TRUE)
    endif()
    gtest_discover_tests(${T_NAME}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES
            TIMEOUT ${T_TIMEOUT}
            ${serial}
            ${fixtures})
endfunction()
