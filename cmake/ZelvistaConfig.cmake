# The Zelvista plug-in SDK: link Zelvista::PluginSDK (zelvista_add_plugin does) for the plug-in
# base, the kernel interface, the interfaces of viewers, navigation, selection, readers and
# writers, and the input mapper; the other Core libraries are Zelvista::<Library>.
include(CMakeFindDependencyMacro)
find_dependency(Threads)
find_dependency(Boost 1.74 COMPONENTS program_options)
find_dependency(Qt5 5.15 COMPONENTS Core Gui Widgets)

include(${CMAKE_CURRENT_LIST_DIR}/ZelvistaTargets.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/ZelvistaAddPlugin.cmake)
