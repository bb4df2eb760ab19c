// Clicks the colour-mapping pipeline's "Export stream" button once it exists, as a user
// would, so that a test can open the stream page against the running program.
#include "Logger/Log.h"
#include "PluginSDK/Plugin.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <memory>

namespace {

class ClickExportStream : public PluginSDK::Plugin<ClickExportStream>
{
public:
    ClickExportStream(IKernel* kernel, const PluginInstanceInfo& info)
        : Plugin(kernel, info), m_timer(std::make_unique<QTimer>())
    {
        m_timer->setInterval(100);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] { clickWhenShown(); });
        m_timer->start();
    }
    static PluginDescriptor& descriptor();

private:
    void clickWhenShown()
    {
        for (QWidget* widget : QApplication::allWidgets()) {
            auto* button = qobject_cast<QPushButton*>(widget);
            if (button && button->objectName() == "exportStream") {
                m_timer->stop();
                ZEL_INFO << "ClickExportStream: Clicking \"Export stream\"\n";
                button->click();
                return;
            }
        }
    }

    std::unique_ptr<QTimer> m_timer;
};

} // namespace

ZEL_PLUGIN_DESCRIPTOR(ClickExportStream,
                      PluginSDK::describe<ClickExportStream>("ClickExportStream",
                                                             "9d3c2f0e-6a1b-4c55-8f27-2b6e4d9a7c13",
                                                             90000)
                          .description("Clicks Export stream for the browser test"))
ZEL_PLUGIN_LIBRARY(ClickExportStream)
