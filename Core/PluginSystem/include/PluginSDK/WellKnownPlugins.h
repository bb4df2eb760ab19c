#pragma once

// Type identifiers of the plug-in classes that the program and other plug-ins ask the factory
// for by type. A plug-in that stands in for one of them declares the same identifier.
namespace WellKnownPlugins {

inline constexpr const char* defaultViewer = "223fb851-8523-11b1-560f-61c2463f6d29";
inline constexpr const char* navigation = "7E90E8AB-38C0-4a7e-B762-F93000715199";
inline constexpr const char* selection = "915dbdfb-f01a-48a8-9ccb-d34db2557e39";
inline constexpr const char* sceneReader = "376c5d28-cd84-4e0f-a809-2ceb314b9e11";
inline constexpr const char* sceneWriter = "23c1411d-c61d-44f1-bdc2-718c77f56857";

} // namespace WellKnownPlugins
