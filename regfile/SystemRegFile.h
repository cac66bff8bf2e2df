#pragma once

// Wine's registry files (system.reg, user.reg, userdef.reg): reading them
// into blocks that keep their exact bytes, so that a file with some keys
// removed is the old file minus those keys' blocks, byte for byte.
//
// Format, as wineserver writes it: the line "WINE REGISTRY Version 2", then
// ";;" comments and "#arch=..." options; then one block per key:
//   (blank line) [Path\\To\\Key] <seconds>   components joined by "\\"
//   #time=<FILETIME hex>  #class="..."  #link
//   "name"=... or @=...   "text" (REG_SZ), str(N):"text", dword:XXXXXXXX,
//                         hex:bytes (REG_BINARY), hex(N):bytes, wrapped
//                         with "\" at the line end
// Keys without values that have sub-keys are not written: they exist
// because their descendants do.
//
// Strings use Wine's escapes: \\ \" \[ \] (in key names), \a \b \t \n \v \f
// \r \e, octal \0 .. \377 (padded to three digits before a digit 0-7), and
// \xH..HHHH for every character above 127 (padded to four digits before a
// hex digit, because the reader takes up to four).

#include "regfile/RegTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile {

struct SystemRegBlock {
    std::string text;      // exact bytes: the blank lines before the key line up to the next block
    std::size_t line = 0;  // line number of the key line
    std::vector<std::u16string> path;
    bool link = false;
    std::u16string className;
    std::vector<RegValue> values;
    bool removed = false;
};

struct SystemRegDocument {
    std::string header;  // everything before the first block
    std::vector<SystemRegBlock> blocks;

    // The file's bytes: the header and every block not removed.
    std::string Text() const;
};

// Key names longer than this, and deeper paths, are refused as malformed.
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxKeyDepth = 512;
// A registry file larger than this is refused rather than read (a real
// machine's system.reg is a few megabytes).
inline constexpr std::uint64_t kMaxRegistryFileBytes = 1ull << 30;

// Reads a whole file. On malformed input returns false and a message
// starting "line N: ".
bool ParseSystemReg(std::string_view bytes, SystemRegDocument* document, std::u16string* error);

// Builds the key tree from the blocks; each key records the blocks naming it.
void BuildTree(const SystemRegDocument& document, RegKey& root);

// Wine's escaping of a name or string; `also` lists extra characters to
// escape with a backslash ("[]" for key names, "\"" for values).
std::string EscapeWineString(std::u16string_view text, std::string_view also);

// A key line and #time line for a key block, as wineserver writes them.
std::string FormatKeyHeader(const std::vector<std::u16string>& path, long long unixSeconds);

// A value line as wineserver writes it, with its line end: a terminated
// string as "text" (REG_SZ) or str(N):"text", a REG_DWORD as dword:, any
// other bytes as hex(N): (ValueText.h).
std::string FormatValueLine(const RegValue& value);

// A whole key block as wineserver writes it: a blank line, the key line, its
// #time line and a line for each value.
std::string FormatKeyBlock(const std::vector<std::u16string>& path, const std::vector<RegValue>& values,
                           long long unixSeconds);

}  // namespace quelvo::regfile
