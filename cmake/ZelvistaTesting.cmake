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

# An installed-looking tree for tests that run the whole window in-process: tests/<name>/bin
# beside Plugins/ with the shipped plug-ins, and lib/, Media/ and config/ of the build.
function(zelvista_add_program_tree name)
  set(root ${ZELVISTA_TEST_OUTPUT}/${name})
  add_custom_target(${name}_tree
    COMMAND ${CMAKE_COMMAND} -E make_directory ${root}/Plugins ${root}/bin
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Viewer> $<TARGET_FILE:SceneReader>
            $<TARGET_FILE:SceneWriter> $<TARGET_FILE:Navigation> $<TARGET_FILE:Selection>
            $<TARGET_FILE:Manipulator> ${root}/Plugins
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:SceneReaderHelper> ${root}/bin
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${CMAKE_BINARY_DIR}/lib ${root}/lib
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${CMAKE_BINARY_DIR}/Media ${root}/Media
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${CMAKE_BINARY_DIR}/config ${root}/config
    DEPENDS Zelvista Viewer SceneReader SceneReaderHelper SceneWriter Navigation Selection
            Manipulator media_tree config_tree
    VERBATIM)
endfunction()

# Drawn on the X display the test command starts (xvfb-run), as users see it. Qt's xcb platform
# reads its keymap with libxkbcommon, whose strndup calls trip strict string checks.
set(ZELVISTA_XCB_ENVIRONMENT ${ZELVISTA_SANITIZER_ENVIRONMENT})
list(FILTER ZELVISTA_XCB_ENVIRONMENT EXCLUDE REGEX "^(QT_QPA_PLATFORM|ASAN_OPTIONS)=")
list(APPEND ZELVISTA_XCB_ENVIRONMENT "QT_QPA_PLATFORM=xcb"
            "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0")
# Qt unloads Mesa's driver when it closes the display; LeakSanitizer then blames the driver's
# leaks on whatever library lies at their addresses, and its suppressions cannot match. Kept
# loaded (after the sanitizer runtime, which must come first), the driver's leaks stay its own.
if(ZELVISTA_SANITIZE)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libasan.so
                  OUTPUT_VARIABLE asan_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
  find_file(MESA_SOFTWARE_DRIVER swrast_dri.so PATHS /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/dri)
  if(EXISTS "${asan_runtime}" AND MESA_SOFTWARE_DRIVER)
    list(APPEND ZELVISTA_XCB_ENVIRONMENT "LD_PRELOAD=${asan_runtime} ${MESA_SOFTWARE_DRIVER}")
  endif()
endif()
