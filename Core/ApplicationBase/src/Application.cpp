#include "ApplicationBase/Application.h"

#include "ApplicationBase/ConfigFile.h"
#include "ApplicationBase/KernelAPI.h"
#include "ApplicationBase/LogFileName.h"
#include "Logger/File.h"
#include "Logger/Log.h"
#include "PluginSystem/PluginDescriptor.h"
#include "PluginSystem/PluginFactory.h"
#include "QtUtility/RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <boost/filesystem.hpp>
#include <boost/program_options/parsers.hpp>
#include <boost/program_options/variables_map.hpp>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace fs = boost::filesystem;
namespace po = boost::program_options;

namespace {

const char* const responseFileOption = "response-file";
// Both files are typed or kept by hand; anything larger is no such file.
constexpr qint64 maxResponseFileSize = 16 << 20;
constexpr qint64 maxConfigFileSize = 16 << 20;

bool isDirectory(const std::string& path)
{
    boost::system::error_code error;
    return fs::is_directory(path, error);
}

// Adds each plug-in library's own options; a library that repeats a known option name would
// make every use of that name ambiguous, so its whole description is left out.
void addPluginOptions(IKernel& kernel, po::options_description& options)
{
    for (const PluginDescriptor* descriptor : kernel.getPluginRegistry()) {
        if (!descriptor->options)
            continue;
        bool clash = false;
        for (const auto& option : descriptor->options->options())
            clash = clash || options.find_nothrow(option->long_name(), false) != nullptr;
        if (clash) {
            ZEL_WARN << "Options of plugin " << descriptor->name
                     << " repeat known option names and are ignored.\n";
            continue;
        }
        options.add(*descriptor->options);
    }
}

std::vector<std::string> splitResponseFile(const std::string& text)
{
    std::vector<std::string> tokens;
    std::size_t begin = text.find_first_not_of(" \n\r\t");
    while (begin != std::string::npos) {
        const std::size_t end = text.find_first_of(" \n\r\t", begin);
        tokens.push_back(text.substr(begin, end - begin));
        begin = text.find_first_not_of(" \n\r\t", end);
    }
    return tokens;
}

} // namespace

Application::Application(int argc, char** argv, const std::string& applicationName,
                         po::options_description options, bool createPluginInstances,
                         po::positional_options_description positional)
    : m_positional(std::move(positional)), m_configFile(std::make_unique<ConfigFile>())
{
    QCoreApplication::setOrganizationName("Korvath Lab");
    QCoreApplication::setOrganizationDomain("korvathlab.org");
    QCoreApplication::setApplicationName(QString::fromStdString(applicationName));

    m_applicationDir = QCoreApplication::applicationDirPath().toStdString();
    if (m_applicationDir.empty())
        m_applicationDir = ".";
    const fs::path pluginPath = (fs::path(m_applicationDir) / ".." / "Plugins").lexically_normal();
    m_mediaPath = m_applicationDir + "/../Media/";
    if (!isDirectory(m_mediaPath))
        ZEL_WARN << "Default media path does not exist.\n";
    if (!isDirectory(pluginPath.string()))
        ZEL_WARN << "Default plugin path does not exist.\n";
    m_pluginDir = pluginPath.string() + "/";

    m_appDataPath = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
    boost::system::error_code error;
    if (!isDirectory(m_appDataPath) && !fs::create_directories(m_appDataPath, error))
        ZEL_WARN << "Cannot create app data path " << m_appDataPath << "\n";

    m_kernel = std::make_unique<KernelAPI>(m_applicationDir, m_appDataPath, m_pluginDir, false);

    options.add_options()(responseFileOption, po::value<std::string>(),
                          "optional file for additional (lengthy) command line options")(
        "debug", po::bool_switch(), "show debug gui elements")("help,h",
                                                               "Display this information");
    addPluginOptions(*m_kernel, options);

    parseCommandLine(argc, argv, options);
    parseResponseFile(options);
    parseConfigFile(options);
    forgetOneRunOptions();

    // "debug" holds for one run only: a defaulted value is never written back.
    po::variables_map& variables = m_kernel->getVariables();
    auto debug = variables.find("debug");
    if (debug != variables.end()) {
        const boost::any value = debug->second.value();
        variables.erase(debug);
        variables.emplace("debug", po::variable_value(value, true));
    }

    if (createPluginInstances)
        m_kernel->getPluginFactory()->createOneInstanceOfAll();
}

Application::~Application()
{
    shutdown();
}

void Application::parseCommandLine(int argc, char** argv, const po::options_description& options)
{
    po::variables_map& variables = m_kernel->getVariables();
    try {
        // Words without "--" beyond what the positional description takes are reported.
        po::store(
            po::command_line_parser(argc, argv).options(options).positional(m_positional).run(),
            variables);
        if (variables.count("help")) {
            std::cout << options << std::endl;
            std::exit(0);
        }
        po::notify(variables);
    } catch (const std::exception& e) {
        ZEL_ERROR << "Error: " << e.what() << "\n";
        std::exit(1);
    }
}

void Application::parseResponseFile(const po::options_description& options)
{
    po::variables_map& variables = m_kernel->getVariables();
    auto entry = variables.find(responseFileOption);
    if (entry == variables.end())
        return;
    const std::string fileName = entry->second.as<std::string>();
    variables.erase(entry);

    QByteArray bytes;
    QString reason;
    const RegularFile::Status status =
        RegularFile::read(QFile::decodeName(fileName.c_str()), maxResponseFileSize, bytes, reason);
    if (status != RegularFile::Status::Read && status != RegularFile::Status::TooLarge) {
        ZEL_ERROR << "Could not open " << responseFileOption << " " << fileName << " ("
                  << reason.toStdString() << ")\n";
        return;
    }
    try {
        if (status == RegularFile::Status::TooLarge)
            throw std::length_error("the file is " + reason.toStdString());
        po::store(po::command_line_parser(splitResponseFile(bytes.toStdString()))
                      .options(options)
                      .positional(m_positional)
                      .run(),
                  variables);
        // The same words as on the command line, with the same effect.
        if (variables.count("help")) {
            std::cout << options << std::endl;
            std::exit(0);
        }
        po::notify(variables);
    } catch (const std::exception& e) {
        ZEL_ERROR << "Error in response file: " << e.what() << "\n";
        std::exit(1);
    }
}

void Application::parseConfigFile(const po::options_description& options)
{
    const std::string path = configFilePath();
    QByteArray bytes;
    QString reason;
    const RegularFile::Status status =
        RegularFile::read(QFile::decodeName(path.c_str()), maxConfigFileSize, bytes, reason);
    if (status == RegularFile::Status::Missing) {
        ZEL_INFO << "could not open " << path << " for reading\n";
        return;
    }
    if (status == RegularFile::Status::NotRegular || status == RegularFile::Status::Unreadable) {
        ZEL_WARN << "could not open " << path << " for reading (" << reason.toStdString() << ")\n";
        return;
    }
    ZEL_INFO << "reading config file " << path << "\n";
    try {
        if (status == RegularFile::Status::TooLarge)
            throw std::length_error("the file is " + reason.toStdString());
        m_configFile->parse(bytes.toStdString(), options, m_kernel->getVariables());
    } catch (const std::exception& e) {
        ZEL_ERROR << "Error in config file: " << e.what() << "\n";
        std::exit(1);
    }
}

// "help" and "response-file" act once, where they are given: a config.ini that holds them
// (written by an older version) neither prints help at every start nor keeps them.
void Application::forgetOneRunOptions()
{
    po::variables_map& variables = m_kernel->getVariables();
    variables.erase("help");
    variables.erase(responseFileOption);
}

std::string Application::configFilePath() const
{
    return m_appDataPath + "/config.ini";
}

void Application::writeConfig()
{
    if (!m_kernel)
        return;
    const std::string bytes = m_configFile->format(m_kernel->getVariables());

    // Written beside the old file and renamed over it: a failed write keeps the old settings.
    const std::string path = configFilePath();
    QSaveFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::WriteOnly)) {
        ZEL_ERROR << "could not open " << path << " for writing\n";
        return;
    }
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (!file.commit())
        ZEL_ERROR << "could not write " << path << ": " << file.errorString().toStdString() << "\n";
}

void Application::shutdown()
{
    if (!m_kernel)
        return;
    writeConfig();
    m_kernel.reset();
}

std::string Application::createLogFile(const std::string& prefix, bool withEarlierRecords)
{
    m_logFile.reset();
    const std::string path = logFileName(prefix);
    std::string error;
    m_logFile = createNewLogFile(path, withEarlierRecords, error);
    if (!m_logFile) {
        ZEL_WARN << "Cannot create a log file like " << path << ": " << error
                 << "; this run is logged to standard error only\n";
        return {};
    }
    return m_logFile->path();
}
