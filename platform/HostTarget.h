#pragma once

// A target whose drives are folders of this machine: a registry store, an
// environment and a drive map ('C' -> "/tmp/x/drive_c"). Windows paths are
// matched against the folders without regard to case, as Windows and Wine
// do (NameCase.h), and short (8.3) components are resolved against the names
// the folder's entries would be given by Windows' short-name generation
// (LongNameOfShort; a Wine prefix replaces it with Wine's own names).

#include "platform/Target.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::platform {

class HostTarget : public Target {
public:
    // Variable names are matched without regard to case.
    using Environment = std::map<std::u16string, std::u16string>;
    using Drives = std::map<char16_t, std::filesystem::path>;  // upper-case letter -> folder

    HostTarget(RegistryStore& registry, Environment environment, Drives drives,
               std::u16string description = u"in-memory registry");

    RegistryStore& Registry() override;
    std::size_t ExpandEnvironmentStrings(std::u16string_view source, char16_t* buffer,
                                         std::size_t capacity) override;
    std::size_t GetLongPathName(std::u16string_view path, char16_t* buffer,
                                std::size_t capacity) override;
    bool FileExists(std::u16string_view path) override;
    std::u16string Description() const override;

    // The host path of a Windows path ("C:\WINDOWS\notepad.exe"), each
    // component matched without regard to case; none when a component or the
    // drive is missing. Short components are not resolved here.
    std::optional<std::filesystem::path> HostPath(std::u16string_view windowsPath) const;

protected:
    // The entry (of `entries`, the listing of `folder`) whose short name is
    // `name`, empty when none is. Default: GenerateShortNames.
    virtual std::u16string LongNameOfShort(const std::filesystem::path& folder,
                                           const std::vector<std::u16string>& entries,
                                           std::u16string_view name) const;

    static std::vector<std::u16string> FolderEntries(const std::filesystem::path& folder);

private:
    // The entry of folder that name stands for: the name itself, an entry
    // equal but for case, or (when short names are resolved) the entry whose
    // short name it is. Empty when there is none.
    std::u16string MatchEntry(const std::filesystem::path& folder, const std::u16string& name,
                              bool resolveShort) const;
    // The host path of a Windows path, short components resolved when asked;
    // *longPath (when given) gets the path with those components made long.
    std::optional<std::filesystem::path> Resolve(std::u16string_view windowsPath, bool resolveShort,
                                                 std::u16string* longPath) const;

    RegistryStore& m_registry;
    Environment m_environment;
    Drives m_drives;
    std::u16string m_description;
};

// The 8.3 short names Windows generates for the entries of one folder, in the
// order it would hand them out ("Program Files" -> "PROGRA~1"). Entries whose
// names are already valid 8.3 names keep them.
std::map<std::u16string, std::u16string> GenerateShortNames(const std::vector<std::u16string>& longNames);

}  // namespace quelvo::platform
