#pragma once

#include "EventSystem/EventHandler.h"
#include "HumanInterface/InputActionToInputEventMapping.h"
#include "ZelApi.h"

#include <QPoint>
#include <QString>
#include <optional>
#include <set>
#include <vector>

class QEvent;
class QObject;
class QWidget;

namespace HI {

class IActionHandler;
namespace GUI {
class InputMappingConfiguration;
}

// Turns the Qt input that plug-ins feed into the event system (QtInputEvent) into the actions
// of one handler, through the bindings of its mapping list. Every action of a mapper belongs
// to that handler. Mappers are usually created by the kernel's InputMapperRegistry, which also
// loads and saves their bindings.
class ZEL_API InputMapper : public EventHandler
{
public:
    using InputActionToInputEventMapping = HI::InputActionToInputEventMapping;

    // With a watched object, only input from that object is handled.
    InputMapper(EventSystem* eventSystem, QObject* watched, IActionHandler* handler,
                const std::vector<InputAction>& actions);
    // Active continuous actions are dropped without endAction calls.
    ~InputMapper() override;

    bool handleEvent(Event& event) override;

    // Fires an action directly: a single one is triggered, an active continuous one ended.
    bool triggerAction(int actionId);

    IActionHandler* getActionHandler() const { return m_handler; }
    InputActionToInputEventMapping& getMapping() { return m_mapping; }
    const InputActionToInputEventMapping& getMapping() const { return m_mapping; }

    // Lets Qt process pending events (user input excluded) before each input is handled.
    void setProcessPendingEvents(bool on) { m_processPendingEvents = on; }

    // A frame that edits this mapper's bindings in place; owned by parent (or by the caller
    // without one), and must not outlive the mapper.
    GUI::InputMappingConfiguration* createConfigurationFrame(QWidget* parent = nullptr);

    // "CTRL + mouse drag left button" and the like; empty for no input.
    static QString getDisplayText(const InputEvent& input, ActionMode mode);

private:
    struct PointerState
    {
        int x = 0;
        int y = 0;
        std::uint32_t mouseButtons = 0;
        std::set<int> keys;
        std::uint32_t modifiers = 0;
        QEvent* event = nullptr;
    };
    struct MousePress
    {
        Qt::MouseButton button;
        QPoint position;
    };

    bool processQtEvent(QEvent* qtEvent);
    bool toInputEvent(const QEvent* qtEvent, InputEvent& input) const;
    bool updatePointerState(QEvent* qtEvent);
    void endReleasedActions(const InputEvent& input);
    bool matchBindings(const InputEvent& input, std::vector<ActionMapping*>& matched);
    bool continueActiveActions(const InputEvent& input, const std::vector<ActionMapping*>& matched);
    bool bindsGesture() const;
    bool fire(ActionMapping& mapping, const InputEvent& input);
    bool begin(ActionMapping& mapping);
    bool end(ActionMapping& mapping);

    InputActionToInputEventMapping m_mapping;
    IActionHandler* m_handler;
    QObject* m_watched;
    bool m_processPendingEvents = false;
    PointerState m_pointer;
    std::optional<MousePress> m_lastPress;
    // Records in m_mapping, which never move.
    std::set<ActionMapping*> m_activeActions;
};

} // namespace HI
