#pragma once

#include "OSGUtility/IConstrainedInteractionMethods.h"

#include <memory>
#include <osg/Group>
#include <osg/ref_ptr>
#include <vector>

namespace OSGU {

class IConstrainedInteraction;

// Several handles under one group node (three axes, say), handed each mouse event in the order
// they were added. A press may grab several overlapping handles; a drag goes to the first
// active one that takes it.
class ZEL_API ConstrainedInteractionAccumulation : public IConstrainedInteractionMethods
{
public:
    ConstrainedInteractionAccumulation();
    ~ConstrainedInteractionAccumulation() override;
    ConstrainedInteractionAccumulation(const ConstrainedInteractionAccumulation&) = delete;
    ConstrainedInteractionAccumulation&
    operator=(const ConstrainedInteractionAccumulation&) = delete;

    IConstrainedInteraction* add(std::unique_ptr<IConstrainedInteraction> interaction);
    // Not owned: it must outlive the accumulation or be removed first.
    void add(IConstrainedInteraction& interaction);
    void remove(IConstrainedInteraction& interaction);

    std::pair<bool, bool> mouseMove(int x, int y, const osg::Camera& camera,
                                    osg::Node* node = nullptr) override;
    bool mousePress(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) override;
    bool mouseDrag(int x, int y, const osg::Camera& camera, osg::Node* node = nullptr) override;
    bool mouseRelease() override;

    // Set on every rotate handle in the list.
    void setTangentMode(bool on);
    void setRadiusFactor(float factor);

    osg::Group* getNode() const { return m_node.get(); }
    // The handle that took the last drag; null when none did.
    IConstrainedInteraction* getDragged() const { return m_dragged; }

private:
    struct Entry
    {
        IConstrainedInteraction* interaction;
        std::unique_ptr<IConstrainedInteraction> owned;
    };

    std::vector<Entry> m_entries;
    osg::ref_ptr<osg::Group> m_node;
    IConstrainedInteraction* m_dragged = nullptr;
};

} // namespace OSGU
