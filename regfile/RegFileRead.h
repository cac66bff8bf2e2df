#pragma once

// Registry exports read back: the .reg files RegFileWrite writes (and
// regedit's own), UTF-16 LE/BE with a byte-order mark or UTF-8, into a key
// tree; and a repair's backup, read strictly before anything is restored
// from it.

#include "regfile/RegTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile {

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

// A backup read back: its keys in a tree whose root is HKEY_LOCAL_MACHINE,
// and the keys the file lists, in file order (a key listed twice is here
// twice).
struct RegBackupContents {
    std::unique_ptr<RegKey> root;
    std::vector<RegKey*> keys;
};

// The largest backup read. A repair's backup holds a few keys for each
// broken extension: kilobytes, and well under a megabyte for every extension
// of a machine. A larger file is refused before it is read.
inline constexpr std::uint64_t kMaxBackupBytes = 64ull << 20;

// Reads a backup's bytes. Refuses, with a message, a file that is not a
// registry export, one cut short (an odd UTF-16 length, NUL characters, no
// line end or closing blank line at the end, hex data continued past the
// end), text that is not valid UTF-8 or UTF-16 (a lone surrogate, with its
// line), one that asks for deletions, and one naming any key that is not
// below HKEY_LOCAL_MACHINE\SOFTWARE\Classes. `bytes` may be dropped as soon
// as it is decoded (ReadRegBackupFile frees the file's bytes then).
bool ReadRegBackup(std::string_view bytes, RegBackupContents* backup, std::u16string* error);
// The same in two steps: the bytes decoded, then the text read.
bool DecodeRegBackup(std::string_view bytes, std::u16string* text, std::u16string* error);
bool ReadRegBackupText(std::u16string_view text, RegBackupContents* backup, std::u16string* error);

// Text made safe for a terminal: control characters (C0, DEL, C1) and the
// characters that reorder text (bidirectional overrides and isolates) are
// shown escaped ("\x1b", "\u202e"), and so is every byte that is not
// valid UTF-8.
std::string PrintableText(std::string_view utf8);
std::string PrintableText(std::u16string_view text);

}  // namespace quelvo::regfile
