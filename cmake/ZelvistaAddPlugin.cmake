# zelvista_add_plugin(<name> SOURCES <files...> [LIBS <libraries...>] [OUTPUT_DIRECTORY <dir>])
#
# A plug-in library: a MODULE built against the plug-in SDK and installed into Plugins/, from
# where it finds the Core libraries in ../lib. Used in Zelvista's own tree and, through
# find_package(Zelvista), by plug-ins built outside it. Given an OUTPUT_DIRECTORY, the library is
# built there for tests and not installed.
function(zelvista_add_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Zelvista::PluginSDK ${ARG_LIBS})
  # Hidden by default: only the two entry points leave a plug-in library, so its helpers never
  # bind to a namesake in the program or in another plug-in.
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    INSTALL_RPATH "$ORIGIN/../lib")
  if(ARG_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY}
      INSTALL_RPATH "${CMAKE_LIBRARY_OUTPUT_DIRECTORY}")
    return()
  endif()
  if(ZELVISTA_PLUGIN_OUTPUT_DIRECTORY)
    set_target_properties(${name} PROPERTIES
      LIBRARY_OUTPUT_DIRECTORY ${ZELVISTA_PLUGIN_OUTPUT_DIRECTORY})
  endif()
  install(TARGETS ${name} LIBRARY DESTINATION Plugins)
endfunction()
