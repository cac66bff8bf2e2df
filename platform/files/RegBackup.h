#pragma once

// Backups of removed keys, on POSIX hosts: one .reg file per repair
// (regfile/RegFileWrite.h), in the invoking user's data folder. The Windows
// store writes its own backups with the same writer.

#include "platform/FileDescriptor.h"
#include "regfile/RegTree.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quelvo::platform::files {

// The folder backups go to: $XDG_DATA_HOME/quelvo/backups, or
// ~/.local/share/quelvo/backups.
std::filesystem::path DefaultBackupFolder();

// One backup file per repair session: created on the first export, each
// export appended and flushed to disk before it returns. Inside a repair
// batch the stores append each key and flush once, before the commit.
// The file is created with mode 0600, exclusively (never through a link),
// in the folder opened once (missing folders are made with mode 0700), as
// the owner of that folder when this process has more rights. A backup is
// never written inside `target`, the folder of the registry it backs up.
class RegBackup {
public:
    explicit RegBackup(std::filesystem::path folder, std::filesystem::path target = {});
    virtual ~RegBackup();

    // Exports the key with its values and sub-keys; false (and a message)
    // when it could not be written: the key must then not be removed.
    // Export is Append followed by Flush.
    virtual bool Export(regfile::RegKey& key, std::u16string* message);
    virtual bool Append(regfile::RegKey& key, std::u16string* message);
    // Makes everything appended so far durable (file and folder entry).
    virtual bool Flush(std::u16string* message);

    // The file written so far (empty before the first export).
    const std::filesystem::path& File() const { return m_file; }

    // The keys appended so far were removed from the target: they stay.
    void MarkCommitted();
    // The keys appended since then were not removed: the file goes back to
    // what it held, and is deleted (with the files made beside it) when it
    // held no removed key, so that no backup claims a removal never written.
    void DropUncommitted();
    // A new file beside the backup, named after it ("repair-<time>.<suffix>"),
    // created empty with mode 0600 and never over an existing one; its
    // descriptor, open for writing, or an invalid one and a message. Removed
    // again by DropUncommitted until the next MarkCommitted.
    FileDescriptor CreateCompanion(const std::string& suffix, std::filesystem::path* file, std::u16string* message);

private:
    bool CreateFile(std::u16string* message);

    std::filesystem::path m_folder;
    std::filesystem::path m_target;
    std::filesystem::path m_file;
    FileDescriptor m_fd;
    FileDescriptor m_dirfd;
    bool m_folderFlushed = false;
    long long m_committedSize = 0;
    std::vector<std::filesystem::path> m_companions;  // made since the last MarkCommitted
};

}  // namespace quelvo::platform::files
