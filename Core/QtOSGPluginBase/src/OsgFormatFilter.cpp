#include "QtOSGPluginBase/OsgFormatFilter.h"

#include <osgDB/FileUtils>
#include <osgDB/Registry>

std::string installedOsgFormatFilter(const std::vector<OsgFormatFamily>& families)
{
    osgDB::Registry* registry = osgDB::Registry::instance();
    std::string filter;
    for (const OsgFormatFamily& family : families) {
        std::string patterns;
        for (const char* extension : family.extensions)
            if (!osgDB::findLibraryFile(registry->createLibraryNameForExtension(extension)).empty())
                patterns += (patterns.empty() ? "*." : ";*.") + std::string(extension);
        if (!patterns.empty())
            filter += (filter.empty() ? "" : ";;") + std::string(family.description) + " (" +
                      patterns + ")";
    }
    return filter;
}
