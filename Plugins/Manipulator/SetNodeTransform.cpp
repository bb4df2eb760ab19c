#include "SetNodeTransform.h"

#include "Logger/Log.h"

SetNodeTransform::SetNodeTransform(osg::MatrixTransform* transform, const osg::Matrixd& from,
                                   const osg::Matrixd& to, const QString& text)
    : m_transform(transform), m_from(from), m_to(to)
{
    setText(text);
}

SetNodeTransform::~SetNodeTransform() = default;

void SetNodeTransform::insertAbove(osg::Node* node, osg::Group* parent)
{
    m_node = node;
    m_parent = parent;
}

bool SetNodeTransform::prepare()
{
    if (!m_transform)
        return fail("there is no transform to set");
    if (!m_parent)
        return m_transform->getNumParents() > 0 || fail("the object is no longer in the scene");
    if (!m_node || !m_parent->containsNode(m_node.get()) || m_transform->getNumParents() > 0)
        return fail("the object is no longer where it was");
    return true;
}

MODCMD::NodeList SetNodeTransform::heldNodes() const
{
    MODCMD::NodeList held{m_transform};
    if (m_node)
        held.push_back(m_node);
    return held;
}

void SetNodeTransform::applyRedoChanges()
{
    if (m_parent && m_node) {
        if (!m_transform->containsNode(m_node.get()))
            m_transform->addChild(m_node.get());
        if (!m_parent->replaceChild(m_node.get(), m_transform.get()))
            ZEL_WARN << "SetNodeTransform::applyRedoChanges: The object left its parent.\n";
    }
    m_transform->setMatrix(m_to);
}

void SetNodeTransform::applyUndoChanges()
{
    m_transform->setMatrix(m_from);
    if (m_parent && m_node) {
        if (!m_parent->replaceChild(m_transform.get(), m_node.get()))
            ZEL_WARN << "SetNodeTransform::applyUndoChanges: The transform left its parent.\n";
        m_transform->removeChild(m_node.get());
    }
}
