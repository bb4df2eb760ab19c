# Build-tree layout, compiler flags and helpers shared by every Zelvista target.
# The build tree mirrors the installed layout so the program finds Plugins/, Media/ and
# config/ next to bin/ in both.

set(ZELVISTA_OUTPUT_ROOT ${CMAKE_BINARY_DIR})
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${ZELVISTA_OUTPUT_ROOT}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${ZELVISTA_OUTPUT_ROOT}/lib)
set(ZELVISTA_PLUGIN_OUTPUT_DIRECTORY ${ZELVISTA_OUTPUT_ROOT}/Plugins)

set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
set(CMAKE_INSTALL_RPATH "$ORIGIN/../lib")

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

add_compile_options(-Wall -Wextra -Wshadow -Woverloaded-virtual -Wnon-virtual-dtor)
if(ZELVISTA_STRICT)
  add_compile_options(-Werror)
endif()
if(ZELVISTA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined
                      # GCC 12 reports false positives under the sanitizers' instrumentation.
                      -Wno-maybe-uninitialized)
  add_link_options(-fsanitize=address,undefined)
endif()

# A Core library: shared, public headers under include/, sources under src/.
function(zelvista_add_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  add_library(Zelvista::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN" OUTPUT_NAME Zel${name})
  install(TARGETS ${name} LIBRARY DESTINATION lib)
endfunction()

# A plug-in library: a MODULE in Plugins/, built against the plug-in SDK.
function(zelvista_add_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${ZELVISTA_PLUGIN_OUTPUT_DIRECTORY})
    install(TARGETS ${name} LIBRARY DESTINATION Plugins)
  endif()
  target_link_libraries(${name} PRIVATE Zelvista::PluginSDK ${ARG_LIBS})
  # Hidden by default: only the two entry points leave a plug-in library, so its helpers never
  # bind to a namesake in the program or in another plug-in.
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY}
    INSTALL_RPATH "$ORIGIN/../lib")
  if(NOT ARG_OUTPUT_DIRECTORY STREQUAL ZELVISTA_PLUGIN_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES INSTALL_RPATH "${ZELVISTA_OUTPUT_ROOT}/lib")
  endif()
endfunction()

# Copies a source folder into the build tree, again whenever a file in it changes.
function(zelvista_copy_tree source destination target)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${source}/*)
  set(outputs)
  foreach(file IN LISTS files)
    file(RELATIVE_PATH relative ${source} ${file})
    add_custom_command(OUTPUT ${destination}/${relative}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${destination}/${relative}
      DEPENDS ${file} VERBATIM)
    list(APPEND outputs ${destination}/${relative})
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()
