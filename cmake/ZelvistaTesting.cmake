# Test executables, test plug-ins and the environment every test runs in.

set(ZELVISTA_TEST_OUTPUT ${CMAKE_BINARY_DIR}/tests)
set(ZELVISTA_TEST_PLUGIN_ROOT ${ZELVISTA_TEST_OUTPUT}/plugins)
set(ZELVISTA_SANITIZER_ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/sanitizers/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "QT_QPA_PLATFORM=offscreen")

# A GoogleTest executable run as one CTest test. LABELS group tests (for example "rendering").
function(zelvista_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ZelvistaTestSupport ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${ZELVISTA_TEST_OUTPUT}/bin
    INSTALL_RPATH "${CMAKE_BINARY_DIR}/lib")
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${ZELVISTA_SANITIZER_ENVIRONMENT}"
    TIMEOUT ${ARG_TIMEOUT}
    LABELS "${ARG_LABELS}")
endfunction()

# A plug-in library built only for the tests, into tests/plugins/<set>/.
function(zelvista_add_test_plugin name set)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFINITIONS" ${ARGN})
  zelvista_add_plugin(${name} SOURCES ${ARG_SOURCES} LIBS ${ARG_LIBS}
                      OUTPUT_DIRECTORY ${ZELVISTA_TEST_PLUGIN_ROOT}/${set})
  target_compile_definitions(${name} PRIVATE ${ARG_DEFINITIONS})
endfunction()
