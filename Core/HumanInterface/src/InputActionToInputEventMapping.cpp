#include "HumanInterface/InputActionToInputEventMapping.h"

#include "HumanInterface/IActionHandler.h"
#include "Logger/Log.h"
#include "QtUtility/RegularFile.h"

#include <QFile>
#include <QSaveFile>
#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/filesystem.hpp>
#include <boost/serialization/collection_size_type.hpp>
#include <boost/serialization/item_version_type.hpp>
#include <boost/serialization/split_member.hpp>
#include <boost/serialization/string.hpp>
#include <sstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace HI {
namespace {

using FileEntry = InputActionToInputEventMapping::FileEntry;

// A bindings file of a few hundred actions is some hundred kilobytes.
constexpr qint64 maxBindingsFileSize = 4 << 20;
// No entry's elements fit in fewer bytes; a count beyond size / this is a lie.
constexpr std::size_t minEntryBytes = 32;

// The entry list, written element for element as boost writes a std::vector ("count",
// "item_version", one "item" per entry), so files keep their form. Loading checks the count
// against what the file can hold and allocates only for the entries actually read.
struct EntryList
{
    std::vector<FileEntry> entries;
    std::size_t maxCount = 0;

    template <class Archive> void save(Archive& archive, unsigned) const
    {
        const boost::serialization::collection_size_type count(entries.size());
        archive << BOOST_SERIALIZATION_NVP(count);
        const boost::serialization::item_version_type item_version(0);
        archive << BOOST_SERIALIZATION_NVP(item_version);
        for (const FileEntry& entry : entries)
            archive << boost::serialization::make_nvp("item", entry);
    }

    template <class Archive> void load(Archive& archive, unsigned)
    {
        boost::serialization::collection_size_type count;
        archive >> BOOST_SERIALIZATION_NVP(count);
        // Archives of library version 3 and older have no item version.
        if (archive.get_library_version() > boost::archive::library_version_type(3)) {
            boost::serialization::item_version_type item_version(0);
            archive >> BOOST_SERIALIZATION_NVP(item_version);
        }
        if (count > maxCount)
            throw std::length_error("the file cannot hold the " + std::to_string(count) +
                                    " entries it announces");
        entries.clear();
        for (std::size_t i = 0; i < count; ++i) {
            FileEntry entry;
            archive >> boost::serialization::make_nvp("item", entry);
            entries.push_back(std::move(entry));
        }
    }

    BOOST_SERIALIZATION_SPLIT_MEMBER()
};

// The file's root item "map": the entry list alone, so that a load reads everything before it
// touches a binding.
struct MappingFile
{
    EntryList tempList;

    template <class Archive> void serialize(Archive& archive, unsigned)
    {
        archive& BOOST_SERIALIZATION_NVP(tempList);
    }
};

} // namespace
} // namespace HI

BOOST_CLASS_VERSION(HI::InputEvent, 1)
BOOST_CLASS_TRACKING(HI::InputEvent, boost::serialization::track_never)
BOOST_CLASS_TRACKING(HI::FileEntry, boost::serialization::track_never)
BOOST_CLASS_TRACKING(HI::EntryList, boost::serialization::track_never)
BOOST_CLASS_TRACKING(HI::MappingFile, boost::serialization::track_never)

namespace HI {

template <class Archive> void InputEvent::serialize(Archive& archive, unsigned version)
{
    archive& BOOST_SERIALIZATION_NVP(m_type) & BOOST_SERIALIZATION_NVP(m_modifier);
    if (version >= 1) {
        archive& BOOST_SERIALIZATION_NVP(m_key) & BOOST_SERIALIZATION_NVP(m_mouseButtons);
        return;
    }
    // Only older files get here (saving always writes the current version): one field held the
    // key of a key input and the buttons of any other.
    std::uint32_t param = 0;
    archive& BOOST_SERIALIZATION_NVP(param);
    (m_type == Key ? m_key : m_mouseButtons) = param;
}

template <class Archive> void FileEntry::serialize(Archive& archive, unsigned)
{
    archive& BOOST_SERIALIZATION_NVP(m_actionHandler) & BOOST_SERIALIZATION_NVP(m_actionName) &
        BOOST_SERIALIZATION_NVP(m_input1) & BOOST_SERIALIZATION_NVP(m_input2);
}

bool InputActionToInputEventMapping::saveBindings(const std::string& fileName) const
{
    if (fileName.empty()) {
        ZEL_WARN << "Empty file name.\n";
        return false;
    }
    const fs::path parent = fs::path(fileName).parent_path();
    boost::system::error_code error;
    if (!parent.empty() && !fs::is_directory(parent, error) &&
        !fs::create_directories(parent, error)) {
        ZEL_WARN << "Cannot create directory " << parent.string()
                 << ". Please check write permission.\n";
        return false;
    }
    MappingFile file;
    for (const ActionMapping& mapping : m_mappings)
        file.tempList.entries.push_back(
            {mapping.handler ? mapping.handler->getActionHandlerName() : "", mapping.actionName,
             mapping.primary, mapping.secondary});
    std::ostringstream text;
    try {
        // The archive writes its closing tags when it goes.
        boost::archive::xml_oarchive archive(text);
        archive << boost::serialization::make_nvp("map", file);
    } catch (const std::exception& exception) {
        ZEL_WARN << "Cannot write file " << fileName << ": " << exception.what() << "\n";
        return false;
    }

    // Written beside the old file and renamed over it once complete: a failed or interrupted
    // save leaves the previous bindings as they were.
    QSaveFile out(QFile::decodeName(fileName.c_str()));
    if (!out.open(QIODevice::WriteOnly)) {
        ZEL_WARN << "Cannot open file " << fileName
                 << " for writing. Please check write permission.\n";
        return false;
    }
    const std::string bytes = text.str();
    out.write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (!out.commit()) {
        ZEL_WARN << "Cannot write file " << fileName << ": " << out.errorString().toStdString()
                 << ". Please check free space.\n";
        return false;
    }
    return true;
}

bool InputActionToInputEventMapping::loadBindings(const std::string& fileName)
{
    boost::system::error_code error;
    if (!fs::exists(fileName, error)) {
        ZEL_ERROR << "'" << fileName << "' does not exist.\n";
        return false;
    }

    QByteArray bytes;
    QString reason;
    if (RegularFile::read(QFile::decodeName(fileName.c_str()), maxBindingsFileSize, bytes,
                          reason) != RegularFile::Status::Read) {
        ZEL_ERROR << "Failed loading '" << fileName << "' (" << reason.toStdString() << ")\n";
        return false;
    }
    std::istringstream stream(bytes.toStdString());
    MappingFile file;
    file.tempList.maxCount = static_cast<std::size_t>(bytes.size()) / minEntryBytes;
    try {
        boost::archive::xml_iarchive archive(stream);
        archive >> boost::serialization::make_nvp("map", file);
    } catch (const boost::archive::archive_exception& exception) {
        ZEL_ERROR << "XML exception for '" << fileName << "': " << exception.what() << "\n";
        return false;
    } catch (const std::exception& exception) {
        ZEL_ERROR << "Failed loading '" << fileName << "': " << exception.what() << "\n";
        return false;
    }

    // In file order, so that a later entry for the same action wins.
    for (const FileEntry& entry : file.tempList.entries)
        for (ActionMapping& mapping : m_mappings)
            if (mapping.handler &&
                mapping.handler->getActionHandlerName() == entry.m_actionHandler &&
                mapping.actionName == entry.m_actionName) {
                mapping.primary = entry.m_input1;
                mapping.secondary = entry.m_input2;
            }
    return true;
}

} // namespace HI
