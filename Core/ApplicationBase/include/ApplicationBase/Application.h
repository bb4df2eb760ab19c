#pragma once

#include "ZelApi.h"

#include <boost/program_options/options_description.hpp>
#include <boost/program_options/positional_options.hpp>
#include <memory>
#include <string>

class ConfigFile;
class IKernel;
namespace Logger::Util {
class File;
}

// The non-visual base of a program: its identity, directories, kernel and options.
// Construction parses the command line, a response file and config.ini; invalid options end
// the process with exit code 1, "help" with code 0. Words without an option name on the command
// line or in the response file are taken by the positional description (none by default).
class ZEL_API Application
{
public:
    Application(int argc, char** argv, const std::string& applicationName,
                boost::program_options::options_description options, bool createPluginInstances,
                boost::program_options::positional_options_description positional = {});
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    const std::string& getApplicationDir() const { return m_applicationDir; }
    const std::string& getAppDataPath() const { return m_appDataPath; }
    const std::string& getPluginDir() const { return m_pluginDir; }
    const std::string& getMediaPath() const { return m_mediaPath; }
    IKernel* getKernel() const { return m_kernel.get(); }

    // Writes the non-defaulted option values to config.ini, atomically.
    void writeConfig();

    // writeConfig, then the kernel goes and with it every plug-in instance. Runs once; the
    // destructor calls it if the owner did not.
    void shutdown();

    // Creates the log file of this run in the temporary directory and returns its path, empty
    // (after a WARN record) when no file could be made. withEarlierRecords: the file begins with
    // the records made before it. The file stays open until the Application goes, after the
    // kernel and the plug-ins.
    std::string createLogFile(const std::string& prefix, bool withEarlierRecords = false);

    std::string configFilePath() const;

private:
    void parseCommandLine(int argc, char** argv,
                          const boost::program_options::options_description& options);
    void parseResponseFile(const boost::program_options::options_description& options);
    void parseConfigFile(const boost::program_options::options_description& options);
    void forgetOneRunOptions();

    std::string m_applicationDir;
    std::string m_appDataPath;
    std::string m_pluginDir;
    std::string m_mediaPath;
    boost::program_options::positional_options_description m_positional;
    std::unique_ptr<IKernel> m_kernel;
    std::unique_ptr<ConfigFile> m_configFile;
    std::unique_ptr<Logger::Util::File> m_logFile;
};
