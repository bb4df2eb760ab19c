#include "ExternalReferenceResolver.h"

#include <osg/LOD>
#include <osg/PagedLOD>
#include <osg/ProxyNode>
#include <osgDB/FileNameUtils>
#include <osgDB/ReadFile>
#include <osgDB/Registry>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace {

void copyNodeProperties(const osg::Node& from, osg::Node& to)
{
    to.setName(from.getName());
    to.setNodeMask(from.getNodeMask());
    to.setStateSet(const_cast<osg::StateSet*>(from.getStateSet()));
    to.setUserDataContainer(const_cast<osg::UserDataContainer*>(from.getUserDataContainer()));
}

// Puts the replacement in every place the node had (a parent may list it more than once).
void replaceInParents(osg::Node& node, osg::Node& replacement)
{
    const osg::Node::ParentList parents = node.getParents();
    for (osg::Group* parent : parents)
        for (unsigned int i = 0; i < parent->getNumChildren(); ++i)
            if (parent->getChild(i) == &node)
                parent->setChild(i, &replacement);
}

} // namespace

ExternalReferenceResolver::ExternalReferenceResolver(std::string sceneFolder,
                                                     const osgDB::Options* options, Limits limits)
    : m_sceneFolder(std::move(sceneFolder)), m_options(options), m_limits(limits)
{}

osg::ref_ptr<osg::Node> ExternalReferenceResolver::load(const std::string& folder,
                                                        const std::string& name,
                                                        const std::string& owner)
{
    std::string path = name;
    if (!osgDB::isAbsolutePath(name) && !osgDB::containsServerAddress(name))
        path = osgDB::concatPaths(folder.empty() ? m_sceneFolder : folder, name);
    auto leaveOut = [&](const std::string& why) {
        m_warnings.push_back("left out " + name + " (named by " + owner + "): " + why);
        return osg::ref_ptr<osg::Node>();
    };
    if (m_files >= m_limits.files)
        return leaveOut("a scene may load at most " + std::to_string(m_limits.files) +
                        " further files");
    struct stat info
    {};
    const bool local = !osgDB::containsServerAddress(path) && ::stat(path.c_str(), &info) == 0;
    if (local && S_ISREG(info.st_mode) &&
        m_bytes + static_cast<std::uint64_t>(info.st_size) > m_limits.bytes)
        return leaveOut("a scene may load at most " + std::to_string(m_limits.bytes >> 20) +
                        " MB of further files");
    ++m_files;
    osgDB::ReaderWriter::ReadResult result;
    try {
        result = osgDB::Registry::instance()->readNode(path, m_options);
    } catch (const std::exception& exception) {
        return leaveOut(exception.what());
    }
    if (!result.validNode())
        return leaveOut(result.message().empty() ? "osgDB read no scene from it"
                                                 : result.message());
    if (local)
        m_bytes += static_cast<std::uint64_t>(info.st_size);
    return result.getNode();
}

osg::ref_ptr<osg::Group> ExternalReferenceResolver::replaceProxy(osg::ProxyNode& proxy)
{
    osg::ref_ptr<osg::Group> group = new osg::Group;
    copyNodeProperties(proxy, *group);
    const std::string owner = "the ProxyNode \"" + proxy.getName() + "\"";
    const unsigned int count = std::max(proxy.getNumFileNames(), proxy.getNumChildren());
    for (unsigned int i = 0; i < count; ++i) {
        osg::ref_ptr<osg::Node> child = i < proxy.getNumChildren() ? proxy.getChild(i) : nullptr;
        if (!child && i < proxy.getNumFileNames() && !proxy.getFileName(i).empty())
            child = load(proxy.getDatabasePath(), proxy.getFileName(i), owner);
        if (child)
            group->addChild(child);
    }
    return group;
}

osg::ref_ptr<osg::Group> ExternalReferenceResolver::replacePaged(osg::PagedLOD& paged)
{
    osg::ref_ptr<osg::LOD> lod = new osg::LOD;
    copyNodeProperties(paged, *lod);
    lod->setCenterMode(paged.getCenterMode());
    lod->setCenter(paged.getCenter());
    lod->setRadius(paged.getRadius());
    lod->setRangeMode(paged.getRangeMode());
    const std::string owner = "the PagedLOD \"" + paged.getName() + "\"";
    for (unsigned int i = 0; i < paged.getNumRanges(); ++i) {
        osg::ref_ptr<osg::Node> child = i < paged.getNumChildren() ? paged.getChild(i) : nullptr;
        if (!child && i < paged.getNumFileNames() && !paged.getFileName(i).empty())
            child = load(paged.getDatabasePath(), paged.getFileName(i), owner);
        if (child)
            lod->addChild(child, paged.getMinRange(i), paged.getMaxRange(i));
    }
    return lod;
}

osg::ref_ptr<osg::Node> ExternalReferenceResolver::resolve(osg::Node& root)
{
    osg::ref_ptr<osg::Node> newRoot = &root;
    std::unordered_set<osg::Node*> seen{&root};
    std::vector<osg::ref_ptr<osg::Node>> pending{&root};
    while (!pending.empty()) {
        osg::ref_ptr<osg::Node> node = pending.back();
        pending.pop_back();
        osg::ref_ptr<osg::Group> replacement;
        if (auto* proxy = dynamic_cast<osg::ProxyNode*>(node.get()))
            replacement = replaceProxy(*proxy);
        else if (auto* paged = dynamic_cast<osg::PagedLOD*>(node.get()))
            replacement = replacePaged(*paged);
        if (replacement) {
            replaceInParents(*node, *replacement);
            if (node == newRoot)
                newRoot = replacement;
            node = replacement;
        }
        if (osg::Group* group = node->asGroup())
            for (unsigned int i = 0; i < group->getNumChildren(); ++i)
                if (osg::Node* child = group->getChild(i); child && seen.insert(child).second)
                    pending.emplace_back(child);
    }
    return newRoot;
}
