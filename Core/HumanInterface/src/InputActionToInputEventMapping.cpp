#include "HumanInterface/InputActionToInputEventMapping.h"

#include "HumanInterface/IActionHandler.h"
#include "Logger/Log.h"

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/xml_iarchive.hpp>
#include <boost/archive/xml_oarchive.hpp>
#include <boost/filesystem.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/vector.hpp>
#include <fstream>

namespace fs = boost::filesystem;

namespace HI {
namespace {

using FileEntry = InputActionToInputEventMapping::FileEntry;

// The file's root item "map": the entry list alone, so that a load reads everything before it
// touches a binding.
struct MappingFile
{
    std::vector<FileEntry> tempList;

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
BOOST_CLASS_TRACKING(std::vector<HI::FileEntry>, boost::serialization::track_never)
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
    std::ofstream stream(fileName, std::ios::out | std::ios::trunc);
    if (!stream) {
        ZEL_WARN << "Cannot open file " << fileName
                 << " for writing. Please check write permission.\n";
        return false;
    }

    MappingFile file;
    for (const ActionMapping& mapping : m_mappings)
        file.tempList.push_back({mapping.handler ? mapping.handler->getActionHandlerName() : "",
                                 mapping.actionName, mapping.primary, mapping.secondary});
    try {
        // The archive writes its closing tags when it goes, before the stream is checked.
        boost::archive::xml_oarchive archive(stream);
        archive << boost::serialization::make_nvp("map", file);
    } catch (const std::exception& exception) {
        ZEL_WARN << "Cannot write file " << fileName << ": " << exception.what() << "\n";
        return false;
    }
    stream.close();
    if (!stream) {
        ZEL_WARN << "Cannot write file " << fileName << ". Please check free space.\n";
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

    std::ifstream stream(fileName);
    if (!stream) {
        ZEL_ERROR << "Failed loading '" << fileName << "'\n";
        return false;
    }
    MappingFile file;
    try {
        boost::archive::xml_iarchive archive(stream);
        archive >> boost::serialization::make_nvp("map", file);
    } catch (const boost::archive::archive_exception& exception) {
        ZEL_ERROR << "XML exception for '" << fileName << "': " << exception.what() << "\n";
        return false;
    } catch (const std::exception&) {
        ZEL_ERROR << "Failed loading '" << fileName << "'\n";
        return false;
    }

    // In file order, so that a later entry for the same action wins.
    for (const FileEntry& entry : file.tempList)
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
