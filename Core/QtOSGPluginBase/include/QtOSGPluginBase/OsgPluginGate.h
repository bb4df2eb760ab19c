#pragma once

#include "ZelApi.h"

#include <string>

// Opening a scene file must never run code or touch the network. osgDB would load any plug-in
// library named after a file's extension (Lua and JavaScript run scripts, curl fetches URLs),
// so it may load only those of the formats Zelvista offers, with the serializer libraries their
// classes need, and it reads no URL at all.
enum class OsgPluginSet
{
    // Scene formats read and written, and the native formats' serializers.
    Program,
    // The same and the image formats whose files the reader helper inlines into its scene.
    ReaderHelper
};

// Installs the gate, once per process and before anything reads or writes through osgDB; a
// later call changes nothing.
ZEL_API void restrictOsgPlugins(OsgPluginSet set = OsgPluginSet::Program);

// Whether osgDB may load the library, named as osgDB names it ("osgPlugins-3.6.5/osgdb_obj.so").
ZEL_API bool isOsgLibraryAllowed(const std::string& libraryName);

// While one lives, osgDB reads no file at all on this thread (the gate must be installed): for
// parsing data that names files the program must not open.
class ZEL_API OsgFileReadBlock
{
public:
    OsgFileReadBlock();
    ~OsgFileReadBlock();
    OsgFileReadBlock(const OsgFileReadBlock&) = delete;
    OsgFileReadBlock& operator=(const OsgFileReadBlock&) = delete;

    static bool active();
};
