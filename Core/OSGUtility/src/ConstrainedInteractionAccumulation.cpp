#include "OSGUtility/ConstrainedInteractionAccumulation.h"

#include "OSGUtility/ConstrainedRotateInteraction.h"

#include <algorithm>

namespace OSGU {

ConstrainedInteractionAccumulation::ConstrainedInteractionAccumulation() : m_node(new osg::Group) {}

ConstrainedInteractionAccumulation::~ConstrainedInteractionAccumulation()
{
    m_node->removeChildren(0, m_node->getNumChildren());
}

IConstrainedInteraction*
ConstrainedInteractionAccumulation::add(std::unique_ptr<IConstrainedInteraction> interaction)
{
    if (!interaction)
        return nullptr;
    IConstrainedInteraction* added = interaction.get();
    m_node->addChild(added->getRootNode());
    m_entries.push_back({added, std::move(interaction)});
    return added;
}

void ConstrainedInteractionAccumulation::add(IConstrainedInteraction& interaction)
{
    m_node->addChild(interaction.getRootNode());
    m_entries.push_back({&interaction, nullptr});
}

void ConstrainedInteractionAccumulation::remove(IConstrainedInteraction& interaction)
{
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.interaction == &interaction;
    });
    if (found == m_entries.end())
        return;
    m_node->removeChild(interaction.getRootNode());
    if (m_dragged == &interaction)
        m_dragged = nullptr;
    m_entries.erase(found);
}

std::pair<bool, bool> ConstrainedInteractionAccumulation::mouseMove(int x, int y,
                                                                    const osg::Camera& camera,
                                                                    osg::Node* node)
{
    std::pair<bool, bool> result{false, false};
    for (const Entry& entry : m_entries) {
        const auto [hit, changed] = entry.interaction->mouseMove(x, y, camera, node);
        result.first = result.first || hit;
        result.second = result.second || changed;
    }
    return result;
}

bool ConstrainedInteractionAccumulation::mousePress(int x, int y, const osg::Camera& camera,
                                                    osg::Node* node)
{
    m_dragged = nullptr;
    bool pressed = false;
    for (const Entry& entry : m_entries)
        pressed = entry.interaction->mousePress(x, y, camera, node) || pressed;
    return pressed;
}

bool ConstrainedInteractionAccumulation::mouseDrag(int x, int y, const osg::Camera& camera,
                                                   osg::Node* node)
{
    m_dragged = nullptr;
    for (const Entry& entry : m_entries)
        if (entry.interaction->mouseDrag(x, y, camera, node)) {
            m_dragged = entry.interaction;
            return true;
        }
    return false;
}

bool ConstrainedInteractionAccumulation::mouseRelease()
{
    bool released = false;
    for (const Entry& entry : m_entries)
        released = entry.interaction->mouseRelease() || released;
    return released;
}

void ConstrainedInteractionAccumulation::setTangentMode(bool on)
{
    for (const Entry& entry : m_entries)
        if (auto* rotate = dynamic_cast<ConstrainedRotateInteraction*>(entry.interaction))
            rotate->setTangentMode(on);
}

void ConstrainedInteractionAccumulation::setRadiusFactor(float factor)
{
    for (const Entry& entry : m_entries)
        if (auto* rotate = dynamic_cast<ConstrainedRotateInteraction*>(entry.interaction))
            rotate->setRadiusFactor(factor);
}

} // namespace OSGU
