#include "HumanInterface/InputMappingConfigurationElement.h"

#include "HumanInterface/ActionMapping.h"
#include "HumanInterface/InputMapper.h"
#include "WheelInput.h"
#include "ui_InputMapperConfigElement.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <iterator>

namespace HI::GUI {
namespace {

// An input offered by the right-click menu, for actions of one mode.
struct SpecialInput
{
    const char* text;
    ActionMode mode;
    InputEventType type;
    std::uint32_t buttons;
    bool withModifiers;
};

const SpecialInput specialInputs[] = {
    {"mouse double-click left", Single, MouseDoubleClick, Qt::LeftButton, true},
    {"mouse double-click right", Single, MouseDoubleClick, Qt::RightButton, true},
    {"mouse right click", Single, MouseClick, Qt::RightButton, true},
    {"mouse right drag", Continuous, MouseDrag, Qt::RightButton, true},
    {"mouse hover", Single, MouseHover, 0, true},
    {"pinch gesture", Continuous, PinchGesture, 0, false},
    {"swipe gesture", Single, SwipeGesture, 0, false},
    {"touch", Continuous, Touch, 0, false},
};

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        return true;
    default:
        return false;
    }
}

// What the user pressed into a field, as a binding for an action of the given mode. Unlike the
// mapper's run-time conversion, a press records the button and a key counts on its release.
bool toBinding(const QEvent* event, ActionMode mode, InputEvent& binding)
{
    binding = InputEvent();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        binding.m_modifier = mouse->modifiers();
        if (event->type() == QEvent::MouseButtonDblClick) {
            binding.m_type = MouseDoubleClick;
            binding.m_mouseButtons = mouse->buttons();
        } else {
            binding.m_type = mode == Continuous ? MouseDrag : MouseClick;
            binding.m_mouseButtons = mouse->button();
        }
        return true;
    }
    case QEvent::KeyRelease: {
        const auto* key = static_cast<const QKeyEvent*>(event);
        binding.m_type = Key;
        binding.m_key = key->key();
        binding.m_modifier = key->modifiers();
        return true;
    }
    case QEvent::Wheel: {
        if (mode == Continuous)
            return false;
        const auto* wheel = static_cast<const QWheelEvent*>(event);
        binding.m_type = wheelInputType(wheel);
        if (!binding.isNone())
            binding.m_modifier = wheel->modifiers();
        return true;
    }
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        binding.m_type = Touch;
        return true;
    default:
        return false;
    }
}

} // namespace

struct InputMappingConfigurationElement::Private
{
    explicit Private(ActionMapping& mapping_) : mapping(mapping_) {}

    QLineEdit* field(int index) const
    {
        return index == 0 ? ui.lineEditConfigElementPrimaryBinding
                          : ui.lineEditConfigElementSecondaryBinding;
    }

    int indexOf(const QObject* object) const
    {
        return object == field(0) ? 0 : object == field(1) ? 1 : -1;
    }

    void showDisplayState(int index)
    {
        QLineEdit* edit = field(index);
        edit->setReadOnly(true);
        edit->setText(InputMapper::getDisplayText(mapping.binding(index), mapping.mode));
        edit->setCursorPosition(0);
        edit->setToolTip("Double click to edit.");
        setLook(edit, QPalette::Window, false);
    }

    void showEditState(int index)
    {
        QLineEdit* edit = field(index);
        edit->setReadOnly(false);
        edit->setText("press button or key");
        edit->setCursorPosition(0);
        edit->setToolTip("Press button or key on input device,\nwhich should be mapped on this "
                         "action.\nRight click for some special inputs.");
        setLook(edit, QPalette::Highlight, true);
    }

    static void setLook(QLineEdit* edit, QPalette::ColorRole base, bool italic)
    {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, palette.color(base));
        edit->setPalette(palette);
        QFont font = edit->font();
        font.setItalic(italic);
        edit->setFont(font);
    }

    ActionMapping& mapping;
    Ui_InputMapperConfigElement ui;
};

InputMappingConfigurationElement::InputMappingConfigurationElement(QWidget* parent,
                                                                   ActionMapping& mapping)
    : QFrame(parent), d(std::make_unique<Private>(mapping))
{
    d->ui.setupUi(this);
    const QString name = QString::fromStdString(mapping.actionName);
    d->ui.lblConfigElement->setText(name);
    d->ui.lblConfigElement->setToolTip(name);
    for (int index : {0, 1}) {
        // Our own menu replaces the line edit's one.
        d->field(index)->installEventFilter(this);
        d->field(index)->setContextMenuPolicy(Qt::CustomContextMenu);
        d->showDisplayState(index);
    }
}

InputMappingConfigurationElement::~InputMappingConfigurationElement() = default;

bool InputMappingConfigurationElement::eventFilter(QObject* watched, QEvent* event)
{
    const int index = d->indexOf(watched);
    if (index < 0 || !isInputEvent(event->type()))
        return QFrame::eventFilter(watched, event);
    QLineEdit* field = d->field(index);

    if (event->type() == QEvent::MouseButtonDblClick && field->isReadOnly()) {
        event->accept();
        d->showEditState(index);
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<const QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton &&
            showContextMenu(mouse->globalPos(), field, index, d->mapping.mode == Continuous))
            return true;
    }
    if (field->isReadOnly())
        return false;

    InputEvent binding;
    if (!toBinding(event, d->mapping.mode, binding))
        return false;
    d->mapping.binding(index) = binding;
    d->showDisplayState(index);
    event->accept();
    field->setStatusTip(QString());
    return true;
}

bool InputMappingConfigurationElement::showContextMenu(const QPoint& globalPosition,
                                                       QLineEdit* lineEdit, int bindingIndex,
                                                       bool continuousAction)
{
    if (lineEdit->isReadOnly())
        return false;

    QMenu menu(this);
    menu.addAction("You can press modifiers when selecting a menu entry.")->setEnabled(false);
    menu.addSeparator();
    const ActionMode mode = continuousAction ? Continuous : Single;
    for (int i = 0; i < int(std::size(specialInputs)); ++i) {
        QAction* action = menu.addAction(specialInputs[i].text);
        action->setEnabled(specialInputs[i].mode == mode);
        action->setData(i);
    }
    QAction* none = menu.addAction("none");
    menu.addSeparator();
    QAction* abort = menu.addAction("abort");

    const QAction* chosen = menu.exec(globalPosition);
    if (chosen && chosen == abort)
        return false;
    InputEvent& binding = d->mapping.binding(bindingIndex);
    if (chosen == none) {
        binding = InputEvent();
    } else if (chosen) {
        const SpecialInput& input = specialInputs[chosen->data().toInt()];
        binding = InputEvent();
        binding.m_type = input.type;
        binding.m_mouseButtons = input.buttons;
        if (input.withModifiers)
            binding.m_modifier = QGuiApplication::keyboardModifiers();
    }
    d->showDisplayState(bindingIndex);
    return true;
}

void InputMappingConfigurationElement::updateGUI()
{
    for (int index : {0, 1})
        if (!d->mapping.binding(index).isNone())
            d->field(index)->setText(
                InputMapper::getDisplayText(d->mapping.binding(index), d->mapping.mode));
}

} // namespace HI::GUI
