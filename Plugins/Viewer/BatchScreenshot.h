#pragma once

#include <QString>
#include <boost/program_options/variables_map.hpp>
#include <memory>

class RenderWidget;

// A screenshot taken without anyone at the window: with the option "screenshot" (a PNG, TIFF
// or JPEG file) and optionally "screenshot-size" (WIDTHxHEIGHT), the program renders the scene
// it was given off screen once it is loaded, writes the file and ends, with exit code 0, or 1
// and an ERROR record when the scene could not be read, the size is not one or the file
// cannot be written. Both options are for one run: they are taken out of the option map.
class BatchScreenshot
{
public:
    // Null when the options ask for no screenshot.
    static std::unique_ptr<BatchScreenshot> fromOptions(boost::program_options::variables_map&);

    // A scene was given: the shot waits until its read has ended.
    bool waitsForScene() const { return m_sceneNamed; }
    void sceneLoaded() { ++m_scenesLoaded; }
    // Takes and writes the shot; the exit code the program should end with.
    int run(RenderWidget& widget) const;

private:
    // False (logged) for a size that is not WIDTHxHEIGHT.
    bool parseSize(unsigned int& width, unsigned int& height) const;
    bool checkTarget() const;

    QString m_file;
    QString m_size;
    bool m_sceneNamed = false;
    int m_scenesLoaded = 0;
};
