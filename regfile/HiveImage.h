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

#include "regfile/HiveHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::regfile::hive {

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

}  // namespace quelvo::regfile::hive
