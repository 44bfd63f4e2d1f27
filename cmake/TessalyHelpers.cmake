# tessaly_add_gtest(NAME <target> SOURCES ... LIBS ... [GUI] [TIMEOUT s])
# A GoogleTest executable with the shared test main (QApplication when GUI is
# given, QCoreApplication otherwise), registered with CTest test by test.
function(tessaly_add_gtest)
    cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT TESSALY_TESTS)
        return()
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    if(T_GUI)
        target_link_libraries(${T_NAME} PRIVATE tessaly_test_main_gui)
    else()
        target_link_libraries(${T_NAME} PRIVATE tessaly_test_main_core)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${T_NAME} PRIVATE
        TESSALY_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    # Suites that start a real server (nginx, pyftpdlib) carry it in their
    # name and the label "server", so "ctest -LE server" runs the rest.
    set(_servers "*Nginx*:*Pyftpdlib*")
    gtest_discover_tests(${T_NAME}
        TEST_FILTER "-${_servers}"
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    gtest_discover_tests(${T_NAME}
        TEST_FILTER "${_servers}"
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS server)
endfunction()

# tessaly_add_fuzzer(NAME <target> SOURCES ... LIBS ...)
# A libFuzzer target, built only with TESSALY_FUZZ (clang). Its corpus seeds,
# if any, live in tests/fuzz/corpus/<target>.
function(tessaly_add_fuzzer)
    cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
    if(NOT TESSALY_FUZZ)
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
    set_property(GLOBAL APPEND PROPERTY TESSALY_FUZZERS ${F_NAME})
endfunction()
