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

# Installs a Core library (or the header-only kernel interface) with its public headers, all in
# one folder, include/zelvista, and exports it for find_package(Zelvista).
function(zelvista_install_core_library name)
  install(TARGETS ${name} EXPORT ZelvistaTargets LIBRARY DESTINATION lib)
  get_property(installed GLOBAL PROPERTY ZELVISTA_INSTALLED_HEADERS)
  if(NOT CMAKE_CURRENT_SOURCE_DIR IN_LIST installed)
    install(DIRECTORY include/ DESTINATION include/zelvista)
    set_property(GLOBAL APPEND PROPERTY ZELVISTA_INSTALLED_HEADERS ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set_property(GLOBAL APPEND PROPERTY ZELVISTA_CORE_LIBRARIES ${name})
endfunction()

# A Core library: shared, public headers under include/, sources under src/.
function(zelvista_add_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  add_library(Zelvista::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include/zelvista>)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN" OUTPUT_NAME Zel${name})
  zelvista_install_core_library(${name})
endfunction()

# Writes the folder of each Core library and the folders of the Core libraries it links, for
# scripts/check-include-layers.py.
function(zelvista_write_layers output)
  get_property(libraries GLOBAL PROPERTY ZELVISTA_CORE_LIBRARIES)
  set(content "")
  foreach(library IN LISTS libraries)
    get_target_property(type ${library} TYPE)
    get_target_property(links ${library} INTERFACE_LINK_LIBRARIES)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(private_links ${library} LINK_LIBRARIES)
      list(APPEND links ${private_links})
    endif()
    set(folders "")
    foreach(link IN LISTS links)
      if(link MATCHES "Zelvista::([A-Za-z]+)")
        get_target_property(dependency_dir ${CMAKE_MATCH_1} SOURCE_DIR)
        file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${dependency_dir})
        list(APPEND folders ${folder})
      endif()
    endforeach()
    list(REMOVE_DUPLICATES folders)
    get_target_property(library_dir ${library} SOURCE_DIR)
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${library_dir})
    list(JOIN folders " " folders)
    string(APPEND content "${folder}: ${folders}\n")
  endforeach()
  file(WRITE ${output} "${content}")
endfunction()

include(ZelvistaAddPlugin)

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
