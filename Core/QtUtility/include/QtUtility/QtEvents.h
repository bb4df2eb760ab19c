#pragma once

#include "EventSystem/Event.h"

class QEvent;
class QObject;

// Qt input that a plug-in feeds into the event system (type 1): its source object and event.
struct QtInputEvent : Event
{
    QtInputEvent(QObject* source_, QEvent* qtEvent_)
        : Event{EventType::QtInput}, source(source_), qtEvent(qtEvent_)
    {}

    QObject* source;
    QEvent* qtEvent;
};

// A Qt drag-and-drop event that a plug-in feeds into the event system (type 2), or a drop that
// carried no file (type 512, sent by the main window).
struct QtEventEvent : Event
{
    QtEventEvent(std::uint32_t type_, QEvent* qtEvent_) : Event{type_}, qtEvent(qtEvent_) {}

    QEvent* qtEvent;
};
