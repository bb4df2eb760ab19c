#pragma once

#include "HumanInterface/IActionHandler.h"
#include "HumanInterface/InputAction.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class IOSGModel;
class IOSGViewer;
class ObjectHandles;
class QWidget;
namespace HI {
class InputActionToInputEventMapping;
}
namespace osg {
class Camera;
}

// The handles in one viewer, driven by the actions of the viewer's input mapper: the pointer
// hovering over a handle lights it up, and a drag that starts on a handle moves the object.
// A drag that starts anywhere else is not taken, so navigation gets it.
class ViewerManipulator : public HI::IActionHandler
{
public:
    enum Action
    {
        Highlight = 1,
        Drag
    };
    // The handles of a model, made on first use.
    using HandlesOf = std::function<ObjectHandles*(const std::shared_ptr<IOSGModel>&)>;

    ViewerManipulator(IOSGViewer& viewer, HandlesOf handlesOf);
    ~ViewerManipulator() override;

    std::vector<HI::InputAction> actions();
    static void applyDefaultBindings(HI::InputActionToInputEventMapping& mapping);

    IOSGViewer& getViewer() const { return m_viewer; }
    QWidget* getWidget() const { return m_widget.data(); }

    std::string getActionHandlerName() const override { return "Manipulator"; }
    bool triggerAction(int actionId, int x, int y, QEvent* event) override;
    bool beginAction(int actionId, int x, int y, QEvent* event) override;
    bool updateAction(int actionId, int x, int y, QEvent* event) override;
    bool endAction(int actionId, int x, int y, QEvent* event) override;

private:
    // The shown handles of the viewer's model and its camera; false when there are none.
    bool reach(ObjectHandles*& handles, osg::Camera*& camera) const;
    // Widget position (logical pixels from the top left) to the viewport's pixel.
    void toViewport(const osg::Camera& camera, int x, int y, int& column, int& row) const;

    IOSGViewer& m_viewer;
    HandlesOf m_handlesOf;
    QPointer<QWidget> m_widget;
    ObjectHandles* m_dragging = nullptr;
};
