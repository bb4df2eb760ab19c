#include "ScreenshotDialog.h"

#include "OSGUtility/Screenshot.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const int largestRequest = 100000;

QSpinBox* spinBox(const char* name, int minimum, int maximum, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    return box;
}

} // namespace

ScreenshotDialog::ScreenshotDialog(const QSize& viewSize, QWidget* parent)
    : QDialog(parent), m_viewSize(viewSize.expandedTo(QSize(1, 1))),
      m_multiplier(spinBox("multiplier", 1, 64, this)),
      m_width(spinBox("width", 1, largestRequest, this)),
      m_height(spinBox("height", 1, largestRequest, this)), m_note(new QLabel(this))
{
    setWindowTitle(tr("Save Screenshot"));
    setObjectName("ScreenshotDialog");
    m_multiplier->setSuffix(tr(" x the view"));
    m_width->setSuffix(tr(" px"));
    m_height->setSuffix(tr(" px"));
    m_note->setObjectName("note");
    m_note->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Size:"), m_multiplier);
    form->addRow(tr("Width:"), m_width);
    form->addRow(tr("Height:"), m_height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_note);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_multiplier, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ScreenshotDialog::applyMultiplier);
    connect(m_width, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ScreenshotDialog::showFinalSize);
    connect(m_height, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ScreenshotDialog::showFinalSize);
    applyMultiplier();
}

QSize ScreenshotDialog::requestedSize() const
{
    return QSize(m_width->value(), m_height->value());
}

void ScreenshotDialog::applyMultiplier()
{
    const int factor = m_multiplier->value();
    m_width->setValue(std::min(largestRequest, m_viewSize.width() * factor));
    m_height->setValue(std::min(largestRequest, m_viewSize.height() * factor));
    showFinalSize();
}

void ScreenshotDialog::showFinalSize()
{
    unsigned int width = unsigned(m_width->value());
    unsigned int height = unsigned(m_height->value());
    OSGU::screenshotSizeFor(width, height);
    if (int(width) == m_width->value() && int(height) == m_height->value()) {
        m_note->setText(tr("The screenshot is rendered off screen in tiles."));
        return;
    }
    m_note->setText(tr("No side may be larger than %1 pixels: the screenshot will be taken at "
                       "%2 x %3 pixels.")
                        .arg(OSGU::maxScreenshotSide)
                        .arg(width)
                        .arg(height));
}
