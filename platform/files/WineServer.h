#pragma once

// Whether a wineserver is running for a Wine prefix. wineserver keeps the
// registry in memory and overwrites system.reg on its own, so a file-backed
// repair or restore must not write while one runs.
//
// A running server holds an fcntl write lock on the "lock" file of its
// server folder, server-<dev>-<inode> (the prefix folder's device and inode
// in hex), and works in that folder. Wine keeps it
// - under /tmp/.wine-<uid>/, uid being whoever runs the server: the prefix's
//   owner, or the caller (root on a user's prefix) - upstream Wine;
// - under the folder named in <prefix>/wineserver, inside the temporary
//   folder of whoever started it - builds that keep it private (Debian's);
// and wherever it lies, a running server's working folder names it.
// Every one of these is looked at.

#include <filesystem>
#include <vector>

namespace quelvo::platform::files {

// The server folders a wineserver for this prefix may use.
std::vector<std::filesystem::path> WineServerFolders(const std::filesystem::path& prefix);

// Whether the lock of any of them is held.
bool IsWineServerRunning(const std::filesystem::path& prefix);

}  // namespace quelvo::platform::files
