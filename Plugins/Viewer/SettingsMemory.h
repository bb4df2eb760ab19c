#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

class QWidget;

// What the user set in a pipeline's settings widget, kept by the widget's and its controls' object
// names, so that the widget a new pipeline of the same kind brings (after switching the mode away
// and back) starts where the user left off. Controls without a name are not remembered.
class SettingsMemory
{
public:
    void remember(const QWidget& settings);
    // Sets the remembered values on the widget's controls, which pass them on to their pipeline
    // as the user's input would.
    void restore(QWidget& settings) const;

private:
    QHash<QString, QHash<QString, QVariant>> m_values;
};
