#pragma once

#include "ZelApi.h"

#include <string>

namespace osg {
class Image;
}

namespace OSGU {

// Writes an image as PNG, TIFF or JPEG, chosen by the file's extension, through osgDB's writer
// of that format. The file is written beside the target under a hidden name and renamed over
// it only when complete, so a failed write leaves any earlier file as it was. Eight-bit colour
// is written without alpha, opaque as the screen shows it; to spare a copy of a large image, its
// pixels are rearranged in place into the layout the format takes, so the image is not meant
// for use afterwards.
// False with the reason, in words for the user, when nothing was written.
ZEL_API bool writeImageFile(osg::Image& image, const std::string& path, std::string& reason);

// Whether the extension (without dot, any case) names one of the formats written.
ZEL_API bool isWritableImageExtension(const std::string& extension);

// Whether the folder of path takes a new file, checked before a long render rather than after
// it; false with the reason in words for the user.
ZEL_API bool canCreateFileIn(const std::string& path, std::string& reason);

} // namespace OSGU
