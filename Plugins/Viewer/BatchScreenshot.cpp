#include "BatchScreenshot.h"

#include "Logger/Log.h"
#include "OSGUtility/ImageFileWriter.h"
#include "OSGUtility/Screenshot.h"
#include "RenderWidget.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <boost/any.hpp>

namespace po = boost::program_options;

namespace {

const char* const fileOption = "screenshot";
const char* const sizeOption = "screenshot-size";
// Far beyond the largest shot; a larger number is a typing error, not a wish.
const unsigned int largestSide = 1000000;

QString text(po::variables_map& options, const char* name)
{
    try {
        return options.count(name) ? QString::fromStdString(options[name].as<std::string>())
                                   : QString();
    } catch (const boost::bad_any_cast&) {
        return {};
    }
}

} // namespace

std::unique_ptr<BatchScreenshot> BatchScreenshot::fromOptions(po::variables_map& options)
{
    const bool wanted = options.count(fileOption) > 0;
    auto shot = std::make_unique<BatchScreenshot>();
    shot->m_file = text(options, fileOption);
    shot->m_size = text(options, sizeOption);
    shot->m_sceneNamed = options.count("loadFile") > 0;
    options.erase(fileOption);
    options.erase(sizeOption);
    if (!wanted)
        return nullptr;
    return shot;
}

bool BatchScreenshot::parseSize(unsigned int& width, unsigned int& height) const
{
    static const QRegularExpression pattern("^\\s*(\\d{1,9})\\s*[xX]\\s*(\\d{1,9})\\s*$");
    const QRegularExpressionMatch match = pattern.match(m_size);
    if (!match.hasMatch() || match.captured(1).toUInt() > largestSide ||
        match.captured(2).toUInt() > largestSide) {
        ZEL_ERROR << "OSGViewerPlugin: The screenshot size \"" << m_size.toStdString()
                  << "\" is not WIDTHxHEIGHT in pixels (such as 4000x3000).\n";
        return false;
    }
    width = match.captured(1).toUInt();
    height = match.captured(2).toUInt();
    return true;
}

// Refused before rendering: a large shot takes a while, and the file must be writable after it.
bool BatchScreenshot::checkTarget() const
{
    const QFileInfo target(m_file);
    if (m_file.isEmpty() || !OSGU::isWritableImageExtension(target.suffix().toStdString())) {
        ZEL_ERROR << "OSGViewerPlugin: The screenshot file \"" << m_file.toStdString()
                  << "\" does not end in .png, .tif, .tiff, .jpg or .jpeg.\n";
        return false;
    }
    std::string reason;
    if (!OSGU::canCreateFileIn(QFile::encodeName(target.absoluteFilePath()).toStdString(),
                               reason)) {
        ZEL_ERROR << "OSGViewerPlugin: Cannot write the screenshot: " << reason << "\n";
        return false;
    }
    return true;
}

int BatchScreenshot::run(RenderWidget& widget) const
{
    if (m_sceneNamed && m_scenesLoaded == 0) {
        ZEL_ERROR << "OSGViewerPlugin: No screenshot: the scene given could not be loaded.\n";
        return 1;
    }
    const QSize shown = widget.pixelSize();
    unsigned int width = unsigned(shown.width());
    unsigned int height = unsigned(shown.height());
    if ((!m_size.isEmpty() && !parseSize(width, height)) || !checkTarget())
        return 1;

    osg::ref_ptr<osg::Image> image = widget.takeScreenshot(width, height, nullptr);
    if (!image) {
        ZEL_ERROR << "OSGViewerPlugin: The screenshot could not be taken.\n";
        return 1;
    }
    const int shotWidth = image->s();
    const int shotHeight = image->t();
    std::string reason;
    if (!OSGU::writeImageFile(*image, QFile::encodeName(m_file).toStdString(), reason)) {
        ZEL_ERROR << "OSGViewerPlugin: Cannot write the screenshot " << m_file.toStdString() << ": "
                  << reason << "\n";
        return 1;
    }
    ZEL_INFO << "OSGViewerPlugin: Wrote the screenshot " << m_file.toStdString() << " ("
             << shotWidth << " by " << shotHeight << " pixels).\n";
    return 0;
}
