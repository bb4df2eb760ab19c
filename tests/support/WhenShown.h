#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

// Runs answer on the next shown top-level widget of type Dialog once it is shown; call it before
// what opens the dialog, whose own event loop then runs the answer.
template <class Dialog> void whenShown(std::function<void(Dialog*)> answer)
{
    QTimer::singleShot(0, [answer] {
        Dialog* dialog = nullptr;
        QDeadlineTimer deadline(10000);
        while (!dialog && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* candidate = qobject_cast<Dialog*>(widget);
                    candidate && candidate->isVisible())
                    dialog = candidate;
        }
        if (dialog)
            answer(dialog);
        else
            ADD_FAILURE() << "no " << Dialog::staticMetaObject.className() << " was shown";
    });
}
