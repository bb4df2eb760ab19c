#include "HumanInterface/InputMapper.h"

#include "HumanInterface/IActionHandler.h"
#include "HumanInterface/InputMappingConfiguration.h"
#include "Logger/Log.h"
#include "QtUtility/QtEvents.h"
#include "WheelInput.h"

#include <QCoreApplication>
#include <QGestureEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

namespace HI {
namespace {

std::string eventHandlerName(const IActionHandler* handler)
{
    return "InputMapper ('" + (handler ? handler->getActionHandlerName() : std::string()) + "')";
}

bool isGestureType(InputEventType type)
{
    return type == Touch || type == PanGesture || type == PinchGesture || type == SwipeGesture;
}

bool isPointerType(InputEventType type)
{
    return isGestureType(type) || type == MouseDoubleClick || type == MouseHover ||
           type == MouseDrag || type == MouseClick;
}

void setGestureFlags(const QGesture* gesture, InputEvent& input)
{
    input.m_begin = gesture->state() == Qt::GestureStarted;
    input.m_end = gesture->state() == Qt::GestureFinished;
}

} // namespace

InputMapper::InputMapper(EventSystem* eventSystem, QObject* watched, IActionHandler* handler,
                         const std::vector<InputAction>& actions)
    : EventHandler(eventSystem, eventHandlerName(handler), EventType::QtInput), m_handler(handler),
      m_watched(watched)
{
    for (const InputAction& action : actions) {
        if (!action.handler || action.handler != m_handler) {
            ZEL_ERROR << "actionHandler is different.\n";
            continue;
        }
        m_mapping.mappings().push_back(
            {action.actionId, action.actionName, action.handler, action.mode, {}, {}});
    }
}

InputMapper::~InputMapper() = default;

bool InputMapper::handleEvent(Event& event)
{
    if (event.type != EventType::QtInput)
        return false;
    auto& input = static_cast<QtInputEvent&>(event);
    if (m_watched && input.source != m_watched)
        return false;
    const bool consumed = input.qtEvent && processQtEvent(input.qtEvent);
    // The event is gone after its dispatch: a direct trigger later passes none.
    m_pointer.event = nullptr;
    return consumed;
}

bool InputMapper::triggerAction(int actionId)
{
    auto& mappings = m_mapping.mappings();
    auto found = std::find_if(mappings.begin(), mappings.end(), [actionId](const auto& mapping) {
        return mapping.actionId == actionId;
    });
    if (found == mappings.end()) {
        ZEL_ERROR << "invalid action ID.\n";
        return false;
    }
    if (found->mode == Single)
        return m_handler->triggerAction(actionId, m_pointer.x, m_pointer.y, m_pointer.event);
    return m_activeActions.count(&*found) && end(*found);
}

GUI::InputMappingConfiguration* InputMapper::createConfigurationFrame(QWidget* parent)
{
    return new GUI::InputMappingConfiguration(m_mapping, parent);
}

bool InputMapper::processQtEvent(QEvent* qtEvent)
{
    if (m_processPendingEvents)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);

    InputEvent input;
    if (!toInputEvent(qtEvent, input) || input.isNone())
        return false;
    const bool pointerChanged = updatePointerState(qtEvent);
    if (pointerChanged && qtEvent->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<const QMouseEvent*>(qtEvent);
        m_lastPress = MousePress{press->button(), press->pos()};
    }

    endReleasedActions(input);
    std::vector<ActionMapping*> matched;
    bool consumed = matchBindings(input, matched);
    if (pointerChanged)
        consumed |= continueActiveActions(input, matched);
    // With gestures bound, the mouse events Qt synthesises from touches must not reach others.
    if (isPointerType(input.m_type) && bindsGesture())
        consumed = true;
    return consumed;
}

bool InputMapper::toInputEvent(const QEvent* qtEvent, InputEvent& input) const
{
    switch (qtEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<const QMouseEvent*>(qtEvent);
        input.m_modifier = mouse->modifiers();
        input.m_mouseButtons = mouse->buttons();
        if (qtEvent->type() == QEvent::MouseButtonPress) {
            input.m_type = MouseDrag;
            input.m_begin = true;
        } else if (qtEvent->type() == QEvent::MouseButtonRelease) {
            const bool click = m_lastPress && m_lastPress->button == mouse->button() &&
                               m_lastPress->position == mouse->pos();
            input.m_type = click ? MouseClick : MouseDrag;
            input.m_end = true;
        } else if (qtEvent->type() == QEvent::MouseButtonDblClick) {
            input.m_type = MouseDoubleClick;
        } else {
            input.m_type = mouse->buttons() ? MouseDrag : MouseHover;
        }
        // A drag or click names the button that caused it, so a drag move names none.
        if (input.m_type == MouseDrag || input.m_type == MouseClick)
            input.m_mouseButtons = mouse->button();
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(qtEvent);
        input.m_type = Key;
        input.m_key = key->key();
        input.m_modifier = key->modifiers();
        input.m_begin = !key->isAutoRepeat() && qtEvent->type() == QEvent::KeyPress;
        input.m_end = !key->isAutoRepeat() && qtEvent->type() == QEvent::KeyRelease;
        return true;
    }
    case QEvent::Wheel: {
        const auto* wheel = static_cast<const QWheelEvent*>(qtEvent);
        input.m_type = wheelInputType(wheel);
        if (!input.isNone()) {
            input.m_modifier = wheel->modifiers();
            input.m_begin = input.m_end = true;
        }
        return true;
    }
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        input.m_type = Touch;
        input.m_begin = qtEvent->type() == QEvent::TouchBegin;
        input.m_end = qtEvent->type() == QEvent::TouchEnd;
        return true;
    case QEvent::Gesture: {
        auto* gestures = static_cast<const QGestureEvent*>(qtEvent);
        if (gestures->gesture(Qt::SwipeGesture)) {
            input.m_type = SwipeGesture;
            input.m_begin = input.m_end = true;
        } else if (const QGesture* pan = gestures->gesture(Qt::PanGesture)) {
            input.m_type = PanGesture;
            setGestureFlags(pan, input);
        } else if (const QGesture* pinch = gestures->gesture(Qt::PinchGesture)) {
            input.m_type = PinchGesture;
            setGestureFlags(pinch, input);
        } else {
            return false;
        }
        return true;
    }
    default:
        return false;
    }
}

// Returns whether the pointer moved or its buttons changed, that is for mouse events.
bool InputMapper::updatePointerState(QEvent* qtEvent)
{
    m_pointer.event = qtEvent;
    bool pointerChanged = false;
    switch (qtEvent->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<const QMouseEvent*>(qtEvent);
        m_pointer.x = mouse->pos().x();
        m_pointer.y = mouse->pos().y();
        m_pointer.mouseButtons = mouse->buttons();
        pointerChanged = true;
        break;
    }
    case QEvent::Wheel: {
        const QPointF position = static_cast<const QWheelEvent*>(qtEvent)->position();
        m_pointer.x = qRound(position.x());
        m_pointer.y = qRound(position.y());
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(qtEvent);
        if (!key->isAutoRepeat() && qtEvent->type() == QEvent::KeyPress)
            m_pointer.keys.insert(key->key());
        else if (!key->isAutoRepeat())
            m_pointer.keys.erase(key->key());
        break;
    }
    case QEvent::Gesture: {
        m_pointer.mouseButtons = 0;
        auto* gestures = static_cast<QGestureEvent*>(qtEvent);
        if (const auto* pinch = static_cast<QPinchGesture*>(gestures->gesture(Qt::PinchGesture))) {
            m_pointer.x = qRound(pinch->centerPoint().x());
            m_pointer.y = qRound(pinch->centerPoint().y());
        }
        break;
    }
    default:
        break;
    }
    m_pointer.modifiers = QGuiApplication::keyboardModifiers();
    return pointerChanged;
}

// Ends every active action whose input is no longer held: a release seldom matches the binding
// that began the action (a drag released where it was pressed is a click).
void InputMapper::endReleasedActions(const InputEvent& input)
{
    auto held = [this](const InputEvent& binding, std::uint32_t modifiers) {
        return !binding.isNone() && binding.m_modifier == modifiers &&
               (binding.m_key == 0 || m_pointer.keys.count(static_cast<int>(binding.m_key))) &&
               binding.m_mouseButtons == m_pointer.mouseButtons;
    };
    for (ActionMapping& mapping : m_mapping.mappings())
        if (m_activeActions.count(&mapping) && !held(mapping.primary, m_pointer.modifiers) &&
            !held(mapping.secondary, input.m_modifier))
            end(mapping);
}

bool InputMapper::matchBindings(const InputEvent& input, std::vector<ActionMapping*>& matched)
{
    bool consumed = false;
    for (ActionMapping& mapping : m_mapping.mappings()) {
        if (mapping.primary != input && mapping.secondary != input)
            continue;
        matched.push_back(&mapping);
        if (mapping.mode == Single) {
            consumed |= fire(mapping, input);
        } else if (mapping.mode == Continuous) {
            // A flagless input (a key repeat, a move) may start an action that missed its begin.
            const bool flagless = !input.m_begin && !input.m_end;
            if (flagless && !m_activeActions.count(&mapping) && !begin(mapping))
                continue;
            consumed |= fire(mapping, input);
        } else {
            ZEL_ERROR << "Unknown action mode " << static_cast<int>(mapping.mode) << " detected.\n";
        }
    }
    return consumed;
}

// Drag moves carry no button and so match no binding: they update the action the press began.
bool InputMapper::continueActiveActions(const InputEvent& input,
                                        const std::vector<ActionMapping*>& matched)
{
    if (input.m_begin || input.m_end)
        return false;
    auto sameKind = [&input](const InputEvent& binding) {
        return !binding.isNone() && binding.m_type == input.m_type &&
               binding.m_modifier == input.m_modifier;
    };
    bool consumed = false;
    for (ActionMapping& mapping : m_mapping.mappings())
        if (m_activeActions.count(&mapping) &&
            std::find(matched.begin(), matched.end(), &mapping) == matched.end() &&
            (sameKind(mapping.primary) || sameKind(mapping.secondary)))
            consumed |= fire(mapping, input);
    return consumed;
}

bool InputMapper::bindsGesture() const
{
    const auto& mappings = m_mapping.mappings();
    return std::any_of(mappings.begin(), mappings.end(), [](const ActionMapping& mapping) {
        return isGestureType(mapping.primary.m_type) || isGestureType(mapping.secondary.m_type);
    });
}

bool InputMapper::fire(ActionMapping& mapping, const InputEvent& input)
{
    if (mapping.mode == Continuous) {
        if (input.m_begin)
            return begin(mapping);
        if (!input.m_end)
            return m_handler->updateAction(mapping.actionId, m_pointer.x, m_pointer.y,
                                           m_pointer.event);
        return m_activeActions.count(&mapping) && end(mapping);
    }
    // A single action bound to a press fires on the release; the press is swallowed.
    if (input.m_begin && !input.m_end)
        return true;
    return m_handler->triggerAction(mapping.actionId, m_pointer.x, m_pointer.y, m_pointer.event);
}

bool InputMapper::begin(ActionMapping& mapping)
{
    if (!m_handler->beginAction(mapping.actionId, m_pointer.x, m_pointer.y, m_pointer.event))
        return false;
    m_activeActions.insert(&mapping);
    return true;
}

bool InputMapper::end(ActionMapping& mapping)
{
    if (!m_handler->endAction(mapping.actionId, m_pointer.x, m_pointer.y, m_pointer.event))
        return false;
    m_activeActions.erase(&mapping);
    return true;
}

} // namespace HI
