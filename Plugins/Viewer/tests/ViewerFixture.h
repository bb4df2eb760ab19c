#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <osg/Geometry>
#include <osg/Vec4>

class IOSGModel;
class IOSGViewer;
class KernelAPI;
class LogCapture;
class OSGModel;
class QWidget;

// A kernel over a scratch plug-in folder holding the built viewer and scene reader, with the
// build's bin/ as program folder (where the reader helper lies). Viewers are made through the
// plug-in factory, as the program makes them.
class ViewerFixture : public ::testing::Test
{
protected:
    static constexpr int Width = 160;
    static constexpr int Height = 120;

    ViewerFixture();
    ~ViewerFixture() override;

    IOSGViewer* createViewer(const std::string& name);
    std::shared_ptr<OSGModel> createModel(const std::string& name);
    KernelAPI& kernel() { return *m_kernel; }
    LogCapture& log() { return *m_log; }
    QString file(const QString& name) const { return m_files.filePath(name); }

    // Shows the viewer's widget at the test size and waits until it has drawn.
    void show(IOSGViewer& viewer);
    // What the viewer shows now (draws a fresh frame).
    QImage grab(IOSGViewer& viewer);

private:
    QTemporaryDir m_plugins;
    QTemporaryDir m_files;
    std::unique_ptr<LogCapture> m_log;
    std::unique_ptr<KernelAPI> m_kernel;
};

// A single-coloured, unlit box with display lists on (OpenSceneGraph's default).
osg::ref_ptr<osg::Geometry> makeBox(const osg::Vec3& center, float size, const osg::Vec4& color);

// Compares the pixel at (x, y), counted from the top left, with a colour, channel by channel.
::testing::AssertionResult pixelIs(const QImage& image, int x, int y, const QColor& expected,
                                   int tolerance = 12);

// Keeps the image next to the build for a person to look at, when a check has failed.
void keepImageOnFailure(const QImage& image, const std::string& name);

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
// The viewer's default background.
const QColor DefaultBackground(51, 51, 102);
