#include "SettingsMemory.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QWidget>

namespace {

QVariant valueOf(const QWidget& control)
{
    if (const auto* real = qobject_cast<const QDoubleSpinBox*>(&control))
        return real->value();
    if (const auto* whole = qobject_cast<const QSpinBox*>(&control))
        return whole->value();
    if (const auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->isCheckable() ? QVariant(button->isChecked()) : QVariant();
    if (const auto* combo = qobject_cast<const QComboBox*>(&control))
        return combo->currentIndex();
    return QVariant();
}

void setValue(QWidget& control, const QVariant& value)
{
    if (auto* real = qobject_cast<QDoubleSpinBox*>(&control))
        real->setValue(value.toDouble());
    else if (auto* whole = qobject_cast<QSpinBox*>(&control))
        whole->setValue(value.toInt());
    else if (auto* button = qobject_cast<QAbstractButton*>(&control))
        button->setChecked(value.toBool());
    else if (auto* combo = qobject_cast<QComboBox*>(&control))
        combo->setCurrentIndex(value.toInt());
}

} // namespace

void SettingsMemory::remember(const QWidget& settings)
{
    if (settings.objectName().isEmpty())
        return;
    QHash<QString, QVariant>& values = m_values[settings.objectName()];
    for (const QWidget* control : settings.findChildren<QWidget*>()) {
        const QVariant value = valueOf(*control);
        if (!control->objectName().isEmpty() && value.isValid())
            values.insert(control->objectName(), value);
    }
}

void SettingsMemory::restore(QWidget& settings) const
{
    const auto remembered = m_values.find(settings.objectName());
    if (settings.objectName().isEmpty() || remembered == m_values.end())
        return;
    // In the widget's own order, as a user going through it from the top would.
    for (QWidget* control : settings.findChildren<QWidget*>()) {
        const auto value = remembered->find(control->objectName());
        if (!control->objectName().isEmpty() && value != remembered->end())
            setValue(*control, *value);
    }
}
