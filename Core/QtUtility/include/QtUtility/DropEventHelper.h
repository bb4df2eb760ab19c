#pragma once

#include "EventSystem/EventHandler.h"
#include "ZelApi.h"

#include <QObject>

class QDropEvent;

// Turns drops that travel through the event system into a Qt signal.
class ZEL_API DropEventHelper : public QObject, public EventHandler
{
    Q_OBJECT

public:
    explicit DropEventHelper(EventSystem* eventSystem, QObject* parent = nullptr);

    bool handleEvent(Event& event) override;

signals:
    void newDropEvent(const QDropEvent* dropEvent);
};
