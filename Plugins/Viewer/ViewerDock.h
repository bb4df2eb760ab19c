#pragma once

#include "SettingsMemory.h"

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

class QAction;
class QListWidget;
class QVBoxLayout;

// The "Viewer" dock: the render modes to choose from and the current pipeline's settings.
class ViewerDock : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerDock(const std::vector<std::string>& modes, QWidget* parent = nullptr);
    // Hands the settings widget back before Qt deletes the children: the pipeline owns it.
    ~ViewerDock() override;

    void setCurrentMode(const std::string& mode);
    // A button for the action, below the modes.
    void addAction(QAction* action);
    // Shows the widget below the modes without taking it over; null shows none. What the user set
    // in the widget shown before is remembered and given to the next widget of its kind.
    void setSettingsWidget(QWidget* settings);

signals:
    void modeChosen(const QString& mode);

private:
    QListWidget* m_modes;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_settings;
    SettingsMemory m_memory;
};
