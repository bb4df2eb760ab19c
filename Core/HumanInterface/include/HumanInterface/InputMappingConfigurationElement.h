#pragma once

#include "ZelApi.h"

#include <QFrame>
#include <memory>

class QLineEdit;

namespace HI {

struct ActionMapping;

namespace GUI {

// One row of the configuration frame: the action's name and its primary and secondary binding.
// A double click puts a field into edit state, where the next button or key is recorded; a right
// click there offers inputs that cannot be pressed into a field (double clicks, gestures, none).
class ZEL_API InputMappingConfigurationElement : public QFrame
{
    Q_OBJECT

public:
    InputMappingConfigurationElement(QWidget* parent, ActionMapping& mapping);
    ~InputMappingConfigurationElement() override;

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Returns whether the menu dealt with the click; a field in display state never opens it.
    bool showContextMenu(const QPoint& globalPosition, QLineEdit* lineEdit, int bindingIndex,
                         bool continuousAction);
    void updateGUI();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace GUI
} // namespace HI
