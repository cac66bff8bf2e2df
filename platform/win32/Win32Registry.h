#pragma once

// The registry store of the running Windows machine: each call goes straight
// to the matching advapi32 function, with the access mask passed through, so
// that a key refusing the requested rights fails to open exactly as Windows
// says. Handles are the HKEY values themselves.
//
// Before DeleteKey removes a key, the key is exported with its values and
// sub-keys to a regedit file (RegExport: UTF-16 LE with a byte-order mark,
// "Windows Registry Editor Version 5.00") under the backup folder, by
// default %LOCALAPPDATA%\Quelvo\backups; one file per store, created on the
// first removal, each export flushed (FlushFileBuffers) before the key goes.
// A key whose backup could not be written is not removed (kWriteFault).
// "regedit /s <file>" restores what was removed. The registry is changed
// key by key, so the repair batch is the default one.

#include "platform/RegistryStore.h"

#include <mutex>
#include <string>

namespace quelvo::platform::win32 {

class Win32Registry final : public RegistryStore {
public:
    Win32Registry();
    ~Win32Registry() override;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

    RegStatus OpenKey(RegRoot root, std::u16string_view path, std::uint32_t access,
                      RegHandle* key) override;
    RegStatus QueryInfoKey(RegHandle key, std::uint32_t* subKeyCount,
                           std::uint32_t* maxSubKeyNameLength) override;
    RegStatus EnumKey(RegHandle key, std::uint32_t index, char16_t* name, std::uint32_t capacity,
                      std::uint32_t* length) override;
    RegStatus QueryValue(RegHandle key, std::u16string_view valueName, RegType* type,
                         std::uint8_t* data, std::uint32_t* size) override;
    RegStatus DeleteKey(RegRoot root, std::u16string_view path) override;
    RegStatus CloseKey(RegHandle key) override;
    // Why the last removal (or a refused open) failed; empty after a
    // successful removal.
    std::u16string FailureReason() const override;

    // Where the backups go (a folder, created when needed); for tests. The
    // next removal starts a new file there.
    void SetBackupFolder(std::u16string folder);
    // The backup file written so far, empty before the first removal.
    std::u16string BackupFile() const;

private:
    bool WriteBackup(RegRoot root, std::u16string_view path, std::u16string* message);

    mutable std::mutex m_mutex;
    std::u16string m_failure;
    std::u16string m_backupFolder;  // empty: the default folder
    std::u16string m_backupFile;
    void* m_backup = nullptr;  // the open backup file (HANDLE)
};

// %LOCALAPPDATA%\Quelvo\backups (the known folder, else the variable).
std::u16string DefaultBackupFolder();

}  // namespace quelvo::platform::win32
