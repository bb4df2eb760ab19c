#include "QtUtility/DropEventHelper.h"

#include "QtUtility/QtEvents.h"

#include <QDropEvent>

DropEventHelper::DropEventHelper(EventSystem* eventSystem, QObject* parent)
    : QObject(parent), EventHandler(eventSystem, "DropEventHelper", EventType::QtDrop)
{}

bool DropEventHelper::handleEvent(Event& event)
{
    auto& qtEvent = static_cast<QtEventEvent&>(event);
    if (!qtEvent.qtEvent || qtEvent.qtEvent->type() != QEvent::Drop)
        return false;
    emit newDropEvent(static_cast<const QDropEvent*>(qtEvent.qtEvent));
    return true;
}
