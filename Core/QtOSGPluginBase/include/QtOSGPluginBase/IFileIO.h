#pragma once

#include "ZelApi.h"

#include <string>

// Common base of scene file readers and writers: a filter string as Qt's file dialogs take it,
// entries separated by ";;", each a description and "(*.ext1;*.ext2)".
class ZEL_API IFileIO
{
public:
    virtual ~IFileIO() = default;
    virtual std::string getFilterString() const = 0;

    // extension without its dot, lower-cased by the caller.
    bool isExtensionSupported(const std::string& extension) const;
};

// The extension that chooses a reader or writer for a path: the text after the last "." of the
// file name, lower-cased; empty when the name has no dot.
ZEL_API std::string fileExtension(const std::string& path);
