#pragma once

#include <QDialog>
#include <list>
#include <vector>

class QCheckBox;

// Lets the user pick the screens for the render window's full-screen mode.
class ScreenChoiceDialog : public QDialog
{
    Q_OBJECT

public:
    ScreenChoiceDialog();

    // Indices of the checked screens, ascending.
    std::list<int> chosenScreens() const;

private:
    std::vector<QCheckBox*> m_screens;
};
