#pragma once

// Whether a wineserver is running for a Wine prefix. wineserver keeps the
// registry in memory and overwrites system.reg on its own, so a file-backed
// repair must not write while one runs.
//
// A running server holds an fcntl write lock on the "lock" file of its
// server folder, server-<dev>-<inode> (the prefix folder's device and inode
// in hex), which lies under /tmp/.wine-<uid>/ or, on builds that keep it in
// a private temporary folder, under the folder named in <prefix>/wineserver.

#include <filesystem>
#include <vector>

namespace quelvo::platform::files {

// The server folders a wineserver for this prefix would use.
std::vector<std::filesystem::path> WineServerFolders(const std::filesystem::path& prefix);

bool IsWineServerRunning(const std::filesystem::path& prefix);

}  // namespace quelvo::platform::files
