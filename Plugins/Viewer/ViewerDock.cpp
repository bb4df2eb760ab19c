#include "ViewerDock.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

ViewerDock::ViewerDock(const std::vector<std::string>& modes, QWidget* parent)
    : QWidget(parent), m_modes(new QListWidget(this)), m_layout(new QVBoxLayout(this))
{
    setWindowTitle(tr("Viewer"));
    setObjectName("ViewerDock");
    m_modes->setObjectName("renderModes");
    for (const std::string& mode : modes)
        m_modes->addItem(QString::fromStdString(mode));
    m_layout->addWidget(new QLabel(tr("Render mode"), this));
    m_layout->addWidget(m_modes);
    m_layout->addStretch();
    connect(m_modes, &QListWidget::currentTextChanged, this, &ViewerDock::modeChosen);
}

ViewerDock::~ViewerDock()
{
    setSettingsWidget(nullptr);
}

void ViewerDock::setCurrentMode(const std::string& mode)
{
    const QSignalBlocker quiet(m_modes);
    const auto items = m_modes->findItems(QString::fromStdString(mode), Qt::MatchExactly);
    m_modes->setCurrentItem(items.isEmpty() ? nullptr : items.front());
}

void ViewerDock::addAction(QAction* action)
{
    auto* button = new QToolButton(this);
    button->setDefaultAction(action);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_layout->insertWidget(2, button);
}

void ViewerDock::setSettingsWidget(QWidget* settings)
{
    if (m_settings == settings)
        return;
    if (m_settings) {
        m_memory.remember(*m_settings);
        m_layout->removeWidget(m_settings);
        m_settings->hide();
        m_settings->setParent(nullptr);
    }
    m_settings = settings;
    if (m_settings) {
        m_memory.restore(*m_settings);
        m_layout->insertWidget(m_layout->count() - 1, m_settings);
        m_settings->show();
    }
}
