#pragma once

// A registry hive as bytes, read without hivex: its base block (the first
// 4096 bytes), the chain of hive bins after it, and a structural check of
// everything its key tree reaches. Toolkit-free; every read is bounded by
// the bytes given and every allocation by their size, so hostile files and
// the fuzzer meet the same code.
//
// | Check               | Finds                                                                 |
// |---------------------|-----------------------------------------------------------------------|
// | ReadBaseBlock       | the header's fields, whether its checksum holds                       |
// | CheckHiveBins       | not a hive, cut short (fewer bytes than the bins it announces), a    |
// |                     | broken hive bin; reads the bin headers only                           |
// | CheckHiveStructure  | the above, then every cell of every bin and every key from the root: |
// |                     | key records, sub-key lists (li, lf, lh, ri), value lists, values and  |
// |                     | their data (big data included), security records; a key reached      |
// |                     | twice (a cycle, or one key under two parents); an offset outside the |
// |                     | bins or not at an allocated cell                                      |

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::platform::files::hive {

inline constexpr std::size_t kBaseBlockSize = 4096;
inline constexpr std::size_t kBinAlignment = 4096;

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

// The fields of a base block (of a hive, or the copy at the start of a log).
struct BaseBlock {
    bool signature = false;  // "regf" and at least 512 bytes
    bool checksumOk = false;
    std::uint32_t primarySequence = 0;
    std::uint32_t secondarySequence = 0;
    std::uint64_t timestamp = 0;
    std::uint32_t major = 0, minor = 0;
    std::uint32_t fileType = 0;  // 0 hive, 1 log (old format), 6 log (new format)
    std::uint32_t rootCell = 0;  // relative to the first bin
    std::uint32_t binsSize = 0;

    // A hive whose last write did not finish, whose newest state lives in its logs.
    bool Dirty() const { return !checksumOk || primarySequence != secondarySequence; }
};
BaseBlock ReadBaseBlock(std::string_view bytes);

// XOR-32 of the first 508 bytes (at least 512 must be given).
std::uint32_t BaseBlockChecksum(std::string_view bytes);
// Writes both sequence numbers, file type 0 and the checksum into a hive's
// base block (4096 bytes at `base`).
void MakeBaseBlockClean(char* base, std::uint32_t sequence);

struct HiveProblem {
    enum Kind { None, NotAHive, CutShort, Damaged } kind = None;
    // Where the damage was met: key names from the hive's root (empty for
    // the root itself or for damage outside the key tree).
    std::vector<std::u16string> keyPath;
    bool inKeyTree = false;
    // What is wrong, in plain words ("its value list points outside the hive").
    std::string detail;

    explicit operator bool() const { return kind != None; }
};

// A hive's bytes read piece by piece. The offline store reads its private
// memory file this way rather than through a mapping of its own: touching
// every page of a fresh mapping costs more than copying the bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Size() const = 0;
    // Copies the `size` bytes at `at` into `out`; false when they are not all there.
    virtual bool Read(std::size_t at, std::size_t size, char* out) const = 0;
};

// Bytes already in memory.
class ViewSource final : public ByteSource {
public:
    ViewSource() = default;
    explicit ViewSource(std::string_view bytes) : m_bytes(bytes) {}
    std::size_t Size() const override { return m_bytes.size(); }
    bool Read(std::size_t at, std::size_t size, char* out) const override;

private:
    std::string_view m_bytes;
};

HiveProblem CheckHiveBins(std::string_view image);
HiveProblem CheckHiveBins(const ByteSource& image);
HiveProblem CheckHiveStructure(std::string_view image);

// "<file> is damaged at <rootPath>\A\B (its value list points outside the
// hive)", "<file> is cut short", "<file> is not a registry hive".
std::u16string DescribeHiveProblem(const HiveProblem& problem, std::u16string_view file, std::u16string_view rootPath);

}  // namespace quelvo::platform::files::hive
