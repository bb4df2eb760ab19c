#include "ScreenChoiceDialog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

ScreenChoiceDialog::ScreenChoiceDialog()
{
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Select screens for render window full screen mode"), this));
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i) {
        const bool primary = screens[i] == QGuiApplication::primaryScreen();
        const QRect geometry = screens[i]->geometry();
        auto* box = new QCheckBox(tr("Screen %1 (%2x%3)%4")
                                      .arg(i)
                                      .arg(geometry.width())
                                      .arg(geometry.height())
                                      .arg(primary ? tr(" (primary)") : QString()),
                                  this);
        box->setChecked(primary);
        layout->addWidget(box);
        m_screens.push_back(box);
    }
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(tr("OK"), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

std::list<int> ScreenChoiceDialog::chosenScreens() const
{
    std::list<int> chosen;
    for (std::size_t i = 0; i < m_screens.size(); ++i)
        if (m_screens[i]->isChecked())
            chosen.push_back(int(i));
    return chosen;
}
