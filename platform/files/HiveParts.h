#pragma once

// What the offline store's two halves share (HiveStore.cpp reads,
// HiveWrite.cpp writes): hivex's handle and the wording of paths and errors.

#include "platform/Text.h"
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

struct hive_h;

namespace quelvo::platform::files {

inline constexpr std::u16string_view kMachineRoot = u"HKEY_LOCAL_MACHINE\\";
inline constexpr std::u16string_view kSoftwareRoot = u"HKEY_LOCAL_MACHINE\\SOFTWARE";

inline hive_h* HiveHandle(void* hive) { return static_cast<hive_h*>(hive); }
inline std::u16string ErrnoText(int error) { return FromUtf8(std::strerror(error)); }
inline std::u16string PathText(const std::filesystem::path& p) { return FromUtf8(p.string()); }

}  // namespace quelvo::platform::files
