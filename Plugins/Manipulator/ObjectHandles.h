#pragma once

#include "OSGUtility/ConstrainedInteractionAccumulation.h"

#include <QString>
#include <memory>
#include <osg/MatrixTransform>
#include <osg/Quat>
#include <osg/observer_ptr>

class IOSGModel;
namespace OSGU {
class IConstrainedInteraction;
}

// The handles of one scene model: three rings that turn the selected object about the x, y and
// z axes through its centre, three arrows that move it along them and three squares that move
// it in their planes. They live in a group under the model's TOOLS, drawn over the scene, and
// follow the selection every frame: shown around the one selected object, hidden otherwise.
// A drag moves the object at once; when it ends, the move becomes one undoable command.
class ObjectHandles
{
public:
    explicit ObjectHandles(const std::shared_ptr<IOSGModel>& model);
    ~ObjectHandles();
    ObjectHandles(const ObjectHandles&) = delete;
    ObjectHandles& operator=(const ObjectHandles&) = delete;

    // Puts the group back under TOOLS if a new graph took its place, and places or hides the
    // handles after the selection.
    void sync();
    bool isShown() const;
    std::shared_ptr<IOSGModel> getModel() const { return m_model.lock(); }
    OSGU::ConstrainedInteractionAccumulation& interactions() { return m_interactions; }
    osg::Node* getRootNode() const { return m_group.get(); }

    // Call after a press grabbed a handle; false when there is no object to move.
    bool beginMove();
    bool isMoving() const { return m_move.transform.valid(); }
    // The node whose frame a drag is measured in: the handles where they were grabbed.
    osg::Node* grabFrame() const { return m_grabFrame->getChild(0); }
    // Moves the object by what the dragged handle reports now.
    void follow(const OSGU::IConstrainedInteraction& dragged);
    // Hands the move to the model as one command; a move that changed nothing is dropped.
    void finishMove();
    // Puts the object back where the move started.
    void cancelMove();

private:
    struct Move
    {
        osg::ref_ptr<osg::MatrixTransform> transform;
        // Set when the transform was put above an object that had none.
        osg::ref_ptr<osg::Node> node;
        osg::ref_ptr<osg::Group> parent;
        osg::Matrixd start;
        osg::Matrixd parentToWorld;
        osg::Vec3d centre;
        osg::Quat rotation;
        bool rotating = false;
    };

    void buildHandles();
    // The selected object the handles may move; null for none or several.
    osg::Node* movableSelection() const;
    void placeAround(osg::Node& object);
    void undoPreview();

    std::weak_ptr<IOSGModel> m_model;
    OSGU::ConstrainedInteractionAccumulation m_interactions;
    osg::ref_ptr<osg::Group> m_group;
    osg::ref_ptr<osg::MatrixTransform> m_frame;
    osg::ref_ptr<osg::MatrixTransform> m_grabFrame;
    osg::ref_ptr<osg::Callback> m_syncCallback;
    osg::observer_ptr<osg::Node> m_object;
    Move m_move;
};
