#pragma once

// Backups of removed keys as regedit's ".reg" files ("Windows Registry
// Editor Version 5.00"), written as regedit writes them: UTF-16 LE with a
// byte-order mark and CRLF line ends, so that regedit on Windows or under
// Wine imports them unchanged. Strings that are not plain (embedded NULs,
// control characters, a missing terminator, an odd size) are written as
// hex(1)/hex(2)/hex(7) so that every byte comes back exactly.
//
// The importer reads the same files (UTF-16 LE/BE with a mark, or UTF-8) and
// restores the keys into a RegTree.

#include "platform/files/RegTree.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::platform::files {

// The text of one key and every key below it, as blocks of a .reg file
// (without the version line). rootName is put in front of each path
// ("HKEY_LOCAL_MACHINE").
std::u16string ExportRegKeyTree(RegKey& key, std::u16string_view rootName);

// The version line and blank line that start every .reg file.
std::u16string_view RegFileHeader();

// Encodes as UTF-16 LE with a byte-order mark.
std::string EncodeUtf16Le(std::u16string_view text);
// Decodes a file's bytes: UTF-16 LE/BE by mark, UTF-8 (mark optional) otherwise.
std::u16string DecodeTextFile(std::string_view bytes);

// Restores the keys of a .reg file into a tree whose root is
// HKEY_LOCAL_MACHINE ("HKEY_LOCAL_MACHINE\" and "HKLM\" prefixes are
// stripped). Returns false with a message naming the line on malformed
// input; the tree is not changed then. `listed`, when given, gets the key
// each key line of the file names, in file order. Time and memory grow with
// the file's size whatever the order of its keys.
bool ImportRegFile(std::u16string_view text, RegKey& machineRoot, std::u16string* error,
                   std::vector<RegKey*>* listed = nullptr);

// POSIX builds only (RegBackup.cpp); the Windows store writes its own
// backups with the functions above.
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
    virtual bool Export(RegKey& key, std::u16string* message);
    virtual bool Append(RegKey& key, std::u16string* message);
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
    // descriptor, open for writing, or -1 and a message. Removed again by
    // DropUncommitted until the next MarkCommitted.
    int CreateCompanion(const std::string& suffix, std::filesystem::path* file, std::u16string* message);

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_target;
    std::filesystem::path m_file;
    int m_fd = -1;
    int m_dirfd = -1;
    bool m_folderFlushed = false;
    long long m_committedSize = 0;
    std::vector<std::filesystem::path> m_companions;  // made since the last MarkCommitted
};

}  // namespace quelvo::platform::files
