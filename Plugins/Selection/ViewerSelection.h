#pragma once

#include "EventSystem/EventHandler.h"
#include "HumanInterface/IActionHandler.h"
#include "HumanInterface/InputAction.h"

#include <QObject>
#include <QPointer>
#include <memory>
#include <osg/observer_ptr>
#include <vector>

class IOSGModel;
class IOSGViewer;
class SelectionPlugin;
class QWidget;
namespace HI {
class InputActionToInputEventMapping;
class InputMapper;
} // namespace HI
namespace osg {
class Node;
}
namespace osgViewer {
class View;
}

// Picking and selecting in one viewer. It taps the viewer's input without taking it from
// navigation: a click is also the end of a press that starts an orbit, and a mapper that never
// saw the press cannot tell a click. So the selection mapper watches a private source object,
// and this handler, in front of every mapper, hands it each input of the viewer's widget and
// lets the input go on. It also sees the model events of the viewer's model, in front of the
// render pipelines, which consume them.
class ViewerSelection : public EventHandler, public HI::IActionHandler
{
public:
    enum Action
    {
        Select = 1,
        ToggleSelection,
        ClearSelection
    };

    ViewerSelection(SelectionPlugin& plugin, IOSGViewer& viewer, osgViewer::View& view,
                    EventSystem* eventSystem);
    ~ViewerSelection() override;

    std::vector<HI::InputAction> actions();
    static void applyDefaultBindings(HI::InputActionToInputEventMapping& mapping);

    void setInputMapper(HI::InputMapper* mapper) { m_mapper = mapper; }
    QObject* inputSource() { return &m_inputSource; }
    IOSGViewer& getViewer() const { return m_viewer; }
    // The viewer's model; none once the viewer's widget is gone with the viewer.
    std::shared_ptr<IOSGModel> getModel() const;
    osgViewer::View* getView() const { return m_view.get(); }

    // The object under a position in the viewer's widget (logical pixels, from the top left).
    osg::Node* pick(int x, int y) const;

    bool handleEvent(Event& event) override;

    std::string getActionHandlerName() const override { return "Selection"; }
    bool triggerAction(int actionId, int x, int y, QEvent* event) override;

private:
    SelectionPlugin& m_plugin;
    IOSGViewer& m_viewer;
    osg::observer_ptr<osgViewer::View> m_view;
    QPointer<QWidget> m_widget;
    QObject m_inputSource;
    HI::InputMapper* m_mapper = nullptr;
};
