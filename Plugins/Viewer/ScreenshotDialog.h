#pragma once

#include <QDialog>
#include <QSize>

class QLabel;
class QSpinBox;

// Asks for the size of a screenshot: the view's size times a multiplier, or any width and
// height. A size beyond the largest shot is shown with the size it will be taken at.
class ScreenshotDialog : public QDialog
{
    Q_OBJECT

public:
    ScreenshotDialog(const QSize& viewSize, QWidget* parent = nullptr);

    QSize requestedSize() const;

private:
    void applyMultiplier();
    void showFinalSize();

    QSize m_viewSize;
    QSpinBox* m_multiplier;
    QSpinBox* m_width;
    QSpinBox* m_height;
    QLabel* m_note;
};
