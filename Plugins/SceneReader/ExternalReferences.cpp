#include "ExternalReferences.h"

#include <osg/PagedLOD>
#include <osg/ProxyNode>

std::vector<std::string>
ExternalReferences::dropFileNames(const std::vector<const osg::Node*>& nodes)
{
    std::vector<std::string> dropped;
    for (const osg::Node* constNode : nodes) {
        // The check hands out const nodes; they are the caller's to change.
        osg::Node* node = const_cast<osg::Node*>(constNode);
        if (auto* proxy = dynamic_cast<osg::ProxyNode*>(node)) {
            proxy->setLoadingExternalReferenceMode(osg::ProxyNode::NO_AUTOMATIC_LOADING);
            for (unsigned int i = 0; i < proxy->getNumFileNames(); ++i)
                if (!proxy->getFileName(i).empty()) {
                    dropped.push_back("the ProxyNode \"" + proxy->getName() + "\" names the file " +
                                      proxy->getFileName(i));
                    proxy->setFileName(i, "");
                }
            proxy->setDatabasePath("");
        } else if (auto* paged = dynamic_cast<osg::PagedLOD*>(node)) {
            for (unsigned int i = 0; i < paged->getNumFileNames(); ++i)
                if (!paged->getFileName(i).empty()) {
                    dropped.push_back("the PagedLOD \"" + paged->getName() + "\" names the file " +
                                      paged->getFileName(i));
                    paged->setFileName(i, "");
                }
            paged->setDatabasePath("");
        }
    }
    return dropped;
}
