# brenvoll_add_test(<name> SOURCES <files...> [LIBS <libs...>])
# Every test runs headless (offscreen platform, fixed 96 dpi), in a C.UTF-8
# locale, and finds the delivered database through BRENVOLL_TEST_DATABASE.
function(brenvoll_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt6::Test brenvoll_testsupport ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    if(BRENVOLL_SANITIZE)
        # Sanitized code runs slower; the limit is for a hung test, not a slow one.
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 2")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=96;LC_ALL=C.UTF-8;QT_LOGGING_RULES=qt.qpa.*=false")
    add_dependencies(${name} brenvoll_database)
endfunction()

# Runs a store test a second time on the PostgreSQL server that the test
# support starts (<name>_postgresql); exit code 77 (no PostgreSQL installed)
# counts as skipped.
function(brenvoll_add_server_run name)
    add_test(NAME ${name}_postgresql COMMAND ${name})
    get_test_property(${name} TIMEOUT timeout)
    set_tests_properties(${name}_postgresql PROPERTIES
        TIMEOUT ${timeout}
        SKIP_RETURN_CODE 77
        # Desks on a server keep their drafts beside the program: the server
        # runs share build/tests/数据库.drafts and take turns with it.
        RESOURCE_LOCK server_desk_drafts
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_FONT_DPI=96;LC_ALL=C.UTF-8;QT_LOGGING_RULES=qt.qpa.*=false;BRENVOLL_TEST_ENGINE=postgresql")
endfunction()

# The sources follow .clang-format: CI fails on a file that does not.
find_program(BRENVOLL_CLANG_FORMAT NAMES clang-format clang-format-14)
if(BRENVOLL_CLANG_FORMAT)
    file(GLOB_RECURSE BRENVOLL_FORMATTED_SOURCES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.cpp)
    add_test(NAME clang_format COMMAND ${BRENVOLL_CLANG_FORMAT} --dry-run --Werror ${BRENVOLL_FORMATTED_SOURCES})
endif()

# Every folder of src/ stands above all that it uses: no include against the
# layers, no include loop between classes or between folders.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME layers COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/check-layers.py
                                 ${PROJECT_SOURCE_DIR}/src)
endif()

# The sources of src/ pass the checks in .clang-tidy: tools/tidy.sh checks the
# files changed in the working tree and in the last commit (all of them with
# BRENVOLL_TIDY_ALL=1) and fails on any finding.
find_program(BRENVOLL_CLANG_TIDY NAMES clang-tidy-14 clang-tidy)
if(BRENVOLL_CLANG_TIDY)
    add_test(NAME clang_tidy COMMAND bash ${PROJECT_SOURCE_DIR}/tools/tidy.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(clang_tidy PROPERTIES
        TIMEOUT 1800
        ENVIRONMENT "CLANG_TIDY=${BRENVOLL_CLANG_TIDY}")
endif()
