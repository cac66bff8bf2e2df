#include "regfile/HiveImage.h"

#include "platform/Text.h"

#include <cstring>

namespace quelvo::regfile::hive {

using namespace platform;

namespace {

// Key records are at least this long: the fixed fields before the name.
constexpr std::size_t kKeyFixed = 76;
constexpr std::size_t kValueFixed = 20;
// A big-data segment holds at most this many bytes of the value.
constexpr std::size_t kBigDataSegment = 16344;
constexpr std::uint32_t kNoCell = 0xFFFFFFFF;

HiveProblem Problem(HiveProblem::Kind kind, std::string detail)
{
    HiveProblem p;
    p.kind = kind;
    p.detail = std::move(detail);
    return p;
}

std::string Hex(std::size_t value)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    do {
        out.insert(out.begin(), digits[value & 15]);
        value >>= 4;
    } while (value);
    return "0x" + out;
}

// Bit sets over the bins, one bit per 8-byte step (every cell starts on one).
class CellBits {
public:
    explicit CellBits(std::size_t binsSize) : m_bits((binsSize / 8 + 63) / 64, 0) {}
    void Set(std::size_t offset) { m_bits[offset / 512] |= std::uint64_t(1) << ((offset / 8) % 64); }
    bool Test(std::size_t offset) const { return (m_bits[offset / 512] >> ((offset / 8) % 64)) & 1; }

private:
    std::vector<std::uint64_t> m_bits;
};

class StructureCheck {
public:
    StructureCheck(std::string_view image, std::uint32_t binsSize)
        : m_data(image.data() + kBaseBlockSize), m_size(binsSize), m_cells(binsSize), m_visited(binsSize)
    {
    }

    HiveProblem Run(std::uint32_t rootCell);

private:
    struct Key {
        std::uint32_t cell;
        std::int64_t parent;  // index into m_keys, -1 for the root
    };
    // A cell's payload (after its size field), or null when `offset` is not
    // the start of an allocated cell.
    const char* Cell(std::uint32_t offset, std::size_t* size) const;
    HiveProblem WalkCells();
    HiveProblem CheckKey(std::size_t index, std::vector<std::size_t>& pending);
    // The key offsets of a sub-key list; false past `limit` entries.
    bool ListChildren(std::uint32_t list, std::size_t limit, std::vector<std::uint32_t>& out,
                      std::string* detail) const;
    bool CheckValues(const char* nk, std::string* detail) const;
    bool CheckValueData(const char* vk, std::string* detail) const;
    std::string PointsTo(std::uint32_t offset, const char* subject) const;
    std::vector<std::u16string> PathOf(std::int64_t index) const;
    std::u16string NameOf(std::uint32_t cell) const;
    HiveProblem KeyProblem(std::int64_t index, std::string detail) const;

    const char* m_data;
    std::size_t m_size;
    CellBits m_cells;
    CellBits m_visited;
    std::vector<Key> m_keys;
};

const char* StructureCheck::Cell(std::uint32_t offset, std::size_t* size) const
{
    if (offset % 8 != 0 || std::size_t(offset) + 4 > m_size || !m_cells.Test(offset))
        return nullptr;
    const auto raw = std::int32_t(Le32(m_data + offset));
    *size = std::size_t(-std::int64_t(raw)) - 4;
    return m_data + offset + 4;
}

std::string StructureCheck::PointsTo(std::uint32_t offset, const char* subject) const
{
    if (std::size_t(offset) >= m_size)
        return std::string(subject) + " points outside the hive";
    return std::string(subject) + " points to a damaged cell at " + Hex(kBaseBlockSize + offset);
}

HiveProblem StructureCheck::WalkCells()
{
    std::size_t bin = 0;
    while (bin < m_size) {
        const std::size_t binSize = Le32(m_data + bin + 8);
        for (std::size_t at = bin + 32; at < bin + binSize;) {
            const auto raw = std::int64_t(std::int32_t(Le32(m_data + at)));
            const std::int64_t size = raw < 0 ? -raw : raw;
            if (size < 8 || size % 8 != 0 || std::size_t(size) > bin + binSize - at)
                return Problem(HiveProblem::Damaged, "the cell at " + Hex(kBaseBlockSize + at) + " is broken");
            if (raw < 0)
                m_cells.Set(at);
            at += std::size_t(size);
        }
        bin += binSize;
    }
    return {};
}

std::u16string StructureCheck::NameOf(std::uint32_t cell) const
{
    std::size_t size = 0;
    const char* nk = Cell(cell, &size);
    if (!nk || size < kKeyFixed)
        return u"?";
    const std::size_t length = std::min<std::size_t>(Le16(nk + 72), size - kKeyFixed);
    const char* name = nk + kKeyFixed;
    std::u16string out;
    if (Le16(nk + 2) & 0x20) {
        for (std::size_t i = 0; i < length; ++i)
            out += char16_t(static_cast<unsigned char>(name[i]));
    } else {
        for (std::size_t i = 0; i + 1 < length; i += 2)
            out += char16_t(Le16(name + i));
    }
    return out;
}

std::vector<std::u16string> StructureCheck::PathOf(std::int64_t index) const
{
    std::vector<std::u16string> path;
    for (std::int64_t k = index; k > 0; k = m_keys[std::size_t(k)].parent)
        path.insert(path.begin(), NameOf(m_keys[std::size_t(k)].cell));
    return path;
}

HiveProblem StructureCheck::KeyProblem(std::int64_t index, std::string detail) const
{
    HiveProblem p = Problem(HiveProblem::Damaged, std::move(detail));
    p.inKeyTree = true;
    p.keyPath = PathOf(index);
    return p;
}

bool StructureCheck::ListChildren(std::uint32_t list, std::size_t limit, std::vector<std::uint32_t>& out,
                                  std::string* detail) const
{
    auto leaf = [&](std::uint32_t offset, bool allowRoot, auto& self) -> bool {
        std::size_t size = 0;
        const char* cell = Cell(offset, &size);
        if (!cell || size < 4) {
            *detail = PointsTo(offset, "its sub-key list");
            return false;
        }
        const std::string_view sig(cell, 2);
        const std::size_t count = Le16(cell + 2);
        std::size_t step = 0;
        if (sig == "li" || (sig == "ri" && allowRoot))
            step = 4;
        else if (sig == "lf" || sig == "lh")
            step = 8;
        if (!step || 4 + count * step > size) {
            *detail = "its sub-key list is damaged";
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t element = Le32(cell + 4 + i * step);
            if (sig == "ri") {
                if (!self(element, false, self))
                    return false;
            } else if (out.size() < limit) {
                out.push_back(element);
            } else {
                *detail = "its sub-key count does not match its sub-key list";
                return false;
            }
        }
        return true;
    };
    return leaf(list, true, leaf);
}

bool StructureCheck::CheckValueData(const char* vk, std::string* detail) const
{
    const std::uint32_t rawSize = Le32(vk + 4);
    const std::size_t length = rawSize & 0x7FFFFFFF;
    if (rawSize & 0x80000000) {
        if (length > 4) {
            *detail = "a value's size is damaged";
            return false;
        }
        return true;
    }
    if (length == 0)
        return true;
    std::size_t size = 0;
    const char* data = Cell(Le32(vk + 8), &size);
    if (!data) {
        *detail = PointsTo(Le32(vk + 8), "a value's data");
        return false;
    }
    if (size >= length)
        return true;
    // Big data: a list of segments, each a cell of up to 16,344 bytes.
    if (size >= 8 && std::string_view(data, 2) == "db") {
        const std::size_t segments = Le16(data + 2);
        std::size_t listSize = 0;
        const char* list = Cell(Le32(data + 4), &listSize);
        if (list && listSize >= segments * 4) {
            std::size_t total = 0;
            for (std::size_t i = 0; i < segments; ++i) {
                std::size_t segmentSize = 0;
                if (!Cell(Le32(list + 4 * i), &segmentSize)) {
                    total = 0;
                    break;
                }
                total += std::min(segmentSize, kBigDataSegment);
            }
            if (total >= length)
                return true;
        }
    }
    *detail = "a value's data is damaged";
    return false;
}

bool StructureCheck::CheckValues(const char* nk, std::string* detail) const
{
    const std::size_t count = Le32(nk + 36);
    if (count == 0)
        return true;
    std::size_t size = 0;
    const char* list = Cell(Le32(nk + 40), &size);
    if (!list) {
        *detail = PointsTo(Le32(nk + 40), "its value list");
        return false;
    }
    if (size / 4 < count) {
        *detail = "its value list is damaged";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t vkSize = 0;
        const char* vk = Cell(Le32(list + 4 * i), &vkSize);
        if (!vk || vkSize < kValueFixed || std::string_view(vk, 2) != "vk"
            || kValueFixed + Le16(vk + 2) > vkSize) {
            *detail = "a value of it is damaged";
            return false;
        }
        if (!CheckValueData(vk, detail))
            return false;
    }
    return true;
}

HiveProblem StructureCheck::CheckKey(std::size_t index, std::vector<std::size_t>& pending)
{
    const Key key = m_keys[index];
    std::size_t size = 0;
    const char* nk = Cell(key.cell, &size);
    if (!nk || size < kKeyFixed || std::string_view(nk, 2) != "nk" || kKeyFixed + Le16(nk + 72) > size) {
        // The record itself is unreadable: it is named by where it hangs.
        return KeyProblem(key.parent, key.parent < 0 ? "its root key is damaged" : "a sub-key of it is damaged");
    }
    if (key.parent >= 0 && Le32(nk + 16) != m_keys[std::size_t(key.parent)].cell)
        return KeyProblem(std::int64_t(index), "it names another key as its parent");
    std::size_t skSize = 0;
    const char* sk = Cell(Le32(nk + 44), &skSize);
    if (!sk || skSize < 20 || std::string_view(sk, 2) != "sk")
        return KeyProblem(std::int64_t(index), PointsTo(Le32(nk + 44), "its security record"));
    std::string detail;
    if (!CheckValues(nk, &detail))
        return KeyProblem(std::int64_t(index), detail);

    const std::size_t count = Le32(nk + 20);
    if (count == 0)
        return {};
    // Every sub-key needs a key record of its own: a larger count is a lie
    // that must not cost memory.
    if (count > m_size / (kKeyFixed + 4))
        return KeyProblem(std::int64_t(index), "its sub-key count is damaged");
    std::vector<std::uint32_t> children;
    if (Le32(nk + 28) == kNoCell || !ListChildren(Le32(nk + 28), count, children, &detail))
        return KeyProblem(std::int64_t(index), detail.empty() ? "its sub-key list is missing" : detail);
    if (children.size() != count)
        return KeyProblem(std::int64_t(index), "its sub-key count does not match its sub-key list");
    for (std::uint32_t child : children) {
        std::size_t childSize = 0;
        if (!Cell(child, &childSize))
            return KeyProblem(std::int64_t(index), PointsTo(child, "its sub-key list"));
        if (m_visited.Test(child)) {
            bool ancestor = false;
            for (std::int64_t k = std::int64_t(index); k >= 0 && !ancestor; k = m_keys[std::size_t(k)].parent)
                ancestor = m_keys[std::size_t(k)].cell == child;
            return KeyProblem(std::int64_t(index), ancestor ? "its sub-keys lead back to itself: a sub-key cycle"
                                                            : "one of its sub-keys also hangs under another key");
        }
        m_visited.Set(child);
        m_keys.push_back(Key{child, std::int64_t(index)});
        pending.push_back(m_keys.size() - 1);
    }
    return {};
}

HiveProblem StructureCheck::Run(std::uint32_t rootCell)
{
    if (HiveProblem p = WalkCells())
        return p;
    std::size_t size = 0;
    if (!Cell(rootCell, &size)) {
        return Problem(HiveProblem::Damaged, PointsTo(rootCell, "its root key"));
    }
    m_visited.Set(rootCell);
    m_keys.push_back(Key{rootCell, -1});
    std::vector<std::size_t> pending{0};
    while (!pending.empty()) {
        const std::size_t index = pending.back();
        pending.pop_back();
        if (HiveProblem p = CheckKey(index, pending))
            return p;
    }
    return {};
}

}  // namespace

HiveProblem CheckHiveBins(const ByteSource& image)
{
    char head[kBaseBlockSize];
    const bool whole = image.Read(0, kBaseBlockSize, head);
    const BaseBlock base = ReadBaseBlock({head, whole ? kBaseBlockSize : 0});
    if (!base.signature || !whole)
        return Problem(HiveProblem::NotAHive, "");
    if (base.binsSize == 0 || base.binsSize % kBinAlignment != 0)
        return Problem(HiveProblem::Damaged, "its header gives no valid size for its data");
    if (image.Size() - kBaseBlockSize < base.binsSize)
        return Problem(HiveProblem::CutShort, "");
    for (std::size_t at = 0; at < base.binsSize;) {
        char bin[12];
        const bool read = image.Read(kBaseBlockSize + at, sizeof bin, bin);
        const std::uint32_t size = Le32(bin + 8);
        if (!read || std::string_view(bin, 4) != "hbin" || Le32(bin + 4) != at || size < kBinAlignment
            || size % kBinAlignment != 0 || size > base.binsSize - at)
            return Problem(HiveProblem::Damaged, "its hive bin at " + Hex(kBaseBlockSize + at) + " is broken");
        at += size;
    }
    if (base.rootCell >= base.binsSize)
        return Problem(HiveProblem::Damaged, "its root key points outside the hive");
    return {};
}

bool ViewSource::Read(std::size_t at, std::size_t size, char* out) const
{
    if (at > m_bytes.size() || size > m_bytes.size() - at)
        return false;
    std::memcpy(out, m_bytes.data() + at, size);
    return true;
}

HiveProblem CheckHiveBins(std::string_view image) { return CheckHiveBins(ViewSource(image)); }

HiveProblem CheckHiveStructure(std::string_view image)
{
    if (HiveProblem p = CheckHiveBins(image))
        return p;
    const BaseBlock base = ReadBaseBlock(image);
    return StructureCheck(image, base.binsSize).Run(base.rootCell);
}

std::u16string DescribeHiveProblem(const HiveProblem& problem, std::u16string_view file, std::u16string_view rootPath)
{
    const std::u16string name(file);
    switch (problem.kind) {
    case HiveProblem::None:
        return {};
    case HiveProblem::NotAHive:
        return name + u" is not a registry hive";
    case HiveProblem::CutShort:
        return name + u" is cut short (it ends before the registry data its header announces)";
    case HiveProblem::Damaged:
        break;
    }
    std::u16string text = name + u" is damaged";
    if (problem.inKeyTree) {
        std::u16string path(rootPath);
        for (const auto& part : problem.keyPath)
            path += u"\\" + part;
        text += u" at " + path;
    }
    if (!problem.detail.empty())
        text += u" (" + FromUtf8(problem.detail) + u")";
    return text;
}

}  // namespace quelvo::regfile::hive
