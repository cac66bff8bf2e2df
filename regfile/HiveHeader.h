#pragma once

// The base block of a registry hive (its first 4096 bytes; a transaction
// log starts with a copy of its first 512) and the header of a new-format
// log entry: every field's place, named once, and the little-endian reads
// and writes of them.
//
// | Base block field   | Offset | Size | Meaning                                         |
// |--------------------|--------|------|-------------------------------------------------|
// | signature          | 0      | 4    | "regf"                                          |
// | primary sequence   | 4      | 4    | raised before a write starts                    |
// | secondary sequence | 8      | 4    | set equal once the write is complete            |
// | timestamp          | 12     | 8    | FILETIME of the last write                      |
// | major, minor       | 20, 24 | 4, 4 | format version (1.3 to 1.6)                     |
// | file type          | 28     | 4    | 0 hive, 1 log (old format), 6 log (new format)  |
// | root cell          | 36     | 4    | the root key's offset from the first bin        |
// | bins size          | 40     | 4    | the bytes of hive bins after the base block     |
// | checksum           | 508    | 4    | XOR-32 of the 508 bytes before it               |

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quelvo::regfile::hive {

inline constexpr std::size_t kBaseBlockSize = 4096;
inline constexpr std::size_t kBinAlignment = 4096;

// Base block fields.
inline constexpr std::size_t kSignatureAt = 0;
inline constexpr std::size_t kPrimarySequenceAt = 4;
inline constexpr std::size_t kSecondarySequenceAt = 8;
inline constexpr std::size_t kTimestampAt = 12;
inline constexpr std::size_t kMajorVersionAt = 20;
inline constexpr std::size_t kMinorVersionAt = 24;
inline constexpr std::size_t kFileTypeAt = 28;
inline constexpr std::size_t kRootCellAt = 36;
inline constexpr std::size_t kBinsSizeAt = 40;
inline constexpr std::size_t kChecksumAt = 508;
// The part of the base block a log copies, and that the checksum covers with its field.
inline constexpr std::size_t kHeaderPartSize = 512;

inline constexpr std::uint32_t kFileTypeHive = 0;
inline constexpr std::uint32_t kFileTypeOldLog = 1;
inline constexpr std::uint32_t kFileTypeNewLog = 6;

// A new-format log entry ("HvLE"): its header, then a (offset, size) pair per
// dirty page, then the pages.
inline constexpr std::size_t kEntrySizeAt = 4;
inline constexpr std::size_t kEntrySequenceAt = 12;
inline constexpr std::size_t kEntryBinsSizeAt = 16;
inline constexpr std::size_t kEntryPageCountAt = 20;
inline constexpr std::size_t kEntryHash1At = 24;  // Marvin32 from the first page reference to the end
inline constexpr std::size_t kEntryHash2At = 32;  // Marvin32 of the first 32 bytes
inline constexpr std::size_t kEntryHeaderSize = 40;

inline std::uint16_t Le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint16_t(u[0] | (u[1] << 8));
}
inline std::uint32_t Le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t(u[0]) | (std::uint32_t(u[1]) << 8) | (std::uint32_t(u[2]) << 16) | (std::uint32_t(u[3]) << 24);
}
inline std::uint64_t Le64(const char* p) { return Le32(p) | (std::uint64_t(Le32(p + 4)) << 32); }
inline void PutLe32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char(v >> (8 * i));
}
inline void PutLe64(char* p, std::uint64_t v)
{
    PutLe32(p, std::uint32_t(v));
    PutLe32(p + 4, std::uint32_t(v >> 32));
}

// The fields of a base block (of a hive, or the copy at the start of a log).
struct BaseBlock {
    bool signature = false;  // "regf" and at least 512 bytes
    bool checksumOk = false;
    std::uint32_t primarySequence = 0;
    std::uint32_t secondarySequence = 0;
    std::uint64_t timestamp = 0;
    std::uint32_t major = 0, minor = 0;
    std::uint32_t fileType = 0;
    std::uint32_t rootCell = 0;  // relative to the first bin
    std::uint32_t binsSize = 0;

    // A hive whose last write did not finish, whose newest state lives in its logs.
    bool Dirty() const { return !checksumOk || primarySequence != secondarySequence; }
};

// XOR-32 of the first 508 bytes (at least 512 must be given).
inline std::uint32_t BaseBlockChecksum(std::string_view bytes)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kChecksumAt; i += 4)
        sum ^= Le32(bytes.data() + i);
    return sum;
}

inline BaseBlock ReadBaseBlock(std::string_view bytes)
{
    BaseBlock b;
    if (bytes.size() < kHeaderPartSize || bytes.substr(kSignatureAt, 4) != "regf")
        return b;
    const char* p = bytes.data();
    b.signature = true;
    b.checksumOk = BaseBlockChecksum(bytes) == Le32(p + kChecksumAt);
    b.primarySequence = Le32(p + kPrimarySequenceAt);
    b.secondarySequence = Le32(p + kSecondarySequenceAt);
    b.timestamp = Le64(p + kTimestampAt);
    b.major = Le32(p + kMajorVersionAt);
    b.minor = Le32(p + kMinorVersionAt);
    b.fileType = Le32(p + kFileTypeAt);
    b.rootCell = Le32(p + kRootCellAt);
    b.binsSize = Le32(p + kBinsSizeAt);
    return b;
}

// Gives a header (at least its first 512 bytes at `base`) both sequence
// numbers and a right checksum.
inline void SetSequenceNumbers(char* base, std::uint32_t primary, std::uint32_t secondary)
{
    PutLe32(base + kPrimarySequenceAt, primary);
    PutLe32(base + kSecondarySequenceAt, secondary);
    PutLe32(base + kChecksumAt, BaseBlockChecksum({base, kHeaderPartSize}));
}

// Writes both sequence numbers, file type 0 and the checksum into a hive's
// base block.
inline void MakeBaseBlockClean(char* base, std::uint32_t sequence)
{
    PutLe32(base + kFileTypeAt, kFileTypeHive);
    SetSequenceNumbers(base, sequence, sequence);
}

}  // namespace quelvo::regfile::hive
