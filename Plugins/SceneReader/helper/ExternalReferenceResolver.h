#pragma once

#include <cstdint>
#include <osg/ref_ptr>
#include <string>
#include <vector>

namespace osg {
class Group;
class Node;
class PagedLOD;
class ProxyNode;
} // namespace osg
namespace osgDB {
class Options;
}

// Makes a scene self-contained before the helper sends it: every ProxyNode becomes a Group and
// every PagedLOD an LOD holding the children their files give, loaded here through osgDB (as
// far as the limits allow, and only in the formats osgDB may read), nested references
// included. A file that cannot or may not be loaded is left out with a warning.
class ExternalReferenceResolver
{
public:
    struct Limits
    {
        unsigned int files = 64;
        std::uint64_t bytes = std::uint64_t(256) << 20;
    };

    ExternalReferenceResolver(std::string sceneFolder, const osgDB::Options* options,
                              Limits limits);

    // The root itself may be replaced; the result is the scene's new root.
    osg::ref_ptr<osg::Node> resolve(osg::Node& root);
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    osg::ref_ptr<osg::Node> load(const std::string& folder, const std::string& name,
                                 const std::string& owner);
    osg::ref_ptr<osg::Group> replaceProxy(osg::ProxyNode& proxy);
    osg::ref_ptr<osg::Group> replacePaged(osg::PagedLOD& paged);

    std::string m_sceneFolder;
    const osgDB::Options* m_options;
    Limits m_limits;
    unsigned int m_files = 0;
    std::uint64_t m_bytes = 0;
    std::vector<std::string> m_warnings;
};
