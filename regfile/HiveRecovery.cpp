#include "regfile/HiveRecovery.h"

#include "platform/RunBeside.h"
#include "platform/Text.h"
#include "regfile/HiveImage.h"
#include "regfile/Marvin32.h"

#include <algorithm>
#include <cstring>

namespace quelvo::regfile::hive {

using namespace platform;

namespace {

constexpr std::size_t kSector = kHeaderPartSize;  // logs are written in 512-byte sectors
constexpr std::size_t kEntryHeader = kEntryHeaderSize;
constexpr std::uint32_t kOldFormat = kFileTypeOldLog;
constexpr std::uint32_t kNewFormat = kFileTypeNewLog;

std::size_t AlignSector(std::size_t n) { return (n + kSector - 1) / kSector * kSector; }

std::u16string U(const std::string& s) { return FromUtf8(s); }

struct UsableLog {
    const LogFile* file;
    BaseBlock base;
};

// Pages overwritten in the image, so that a recovery that fails leaves the
// hive exactly as given. Their old bytes go into one buffer: a hive's logs
// may carry tens of thousands of pages.
class Undo {
public:
    explicit Undo(ImageBuffer& image) : m_image(image), m_size(image.Size()) {}
    bool Write(std::size_t at, const char* data, std::size_t size)
    {
        if (m_image.Size() < at + size && !m_image.Resize(at + size))
            return false;
        if (at < m_size) {
            const std::size_t kept = std::min(size, m_size - at);
            const std::size_t end = m_bytes.size();
            m_bytes.resize(end + kept);
            if (!m_image.Read(at, kept, m_bytes.data() + end)) {
                m_bytes.resize(end);
                return false;
            }
            m_saved.push_back({at, kept});
        }
        return m_image.Write(at, data, size);
    }
    bool Resize(std::size_t size)
    {
        if (size < m_image.Size() && m_tail.empty() && size < m_size) {
            m_tail.resize(m_size - size);
            if (!m_image.Read(size, m_tail.size(), m_tail.data())) {
                m_tail.clear();
                return false;
            }
            m_tailAt = size;
        }
        return m_image.Resize(size);
    }
    void Rollback()
    {
        m_image.Resize(m_size);
        if (!m_tail.empty())
            m_image.Write(m_tailAt, m_tail.data(), m_tail.size());
        std::size_t end = m_bytes.size();
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            end -= it->second;
            m_image.Write(it->first, m_bytes.data() + end, it->second);
        }
        m_saved.clear();
        m_bytes.clear();
        m_tail.clear();
    }

private:
    ImageBuffer& m_image;
    std::size_t m_size;
    std::vector<std::pair<std::size_t, std::size_t>> m_saved;  // offset, length in m_bytes
    std::string m_bytes;
    std::size_t m_tailAt = 0;
    std::string m_tail;  // what a shrink cut off
};

class StringBuffer final : public ImageBuffer {
public:
    explicit StringBuffer(std::string& bytes) : m_bytes(bytes) {}
    std::size_t Size() const override { return m_bytes.size(); }
    bool Read(std::size_t at, std::size_t size, char* out) const override
    {
        if (at > m_bytes.size() || size > m_bytes.size() - at)
            return false;
        std::memcpy(out, m_bytes.data() + at, size);
        return true;
    }
    bool Write(std::size_t at, const char* data, std::size_t size) override
    {
        if (at > m_bytes.size() || size > m_bytes.size() - at)
            return false;
        std::memcpy(m_bytes.data() + at, data, size);
        return true;
    }
    bool Resize(std::size_t size) override
    {
        m_bytes.resize(size, '\0');
        return true;
    }

private:
    std::string& m_bytes;
};

// The image's base block, as far as it has one.
std::string Header(const ImageBuffer& image)
{
    std::string head(std::min(image.Size(), kBaseBlockSize), '\0');
    if (!image.Read(0, head.size(), head.data()))
        head.clear();
    return head;
}

// A log's first sector: the copy of the hive's base block it starts with
// (fewer bytes when the log is shorter).
std::string LogHeader(const LogFile& log)
{
    std::string head(std::min(log.Bytes().Size(), kSector), '\0');
    if (!log.Bytes().Read(0, head.size(), head.data()))
        head.clear();
    return head;
}

// One HvLE entry of a log, as its header describes it.
struct Entry {
    const LogFile* log;
    std::size_t offset;
    std::uint32_t size;
    std::uint32_t sequence;
    std::uint32_t bins;  // the hive-bins size it leaves
};

// The live entries of a log: from the first sector on, while each follows
// the one before it (older, already applied entries may lie beyond).
std::vector<Entry> LiveEntries(const LogFile& log)
{
    std::vector<Entry> entries;
    const ByteSource& b = log.Bytes();
    char head[kEntryHeader];
    for (std::size_t at = kSector; at + kEntryHeader <= b.Size();) {
        if (!b.Read(at, kEntryHeader, head) || std::string_view(head, 4) != "HvLE")
            break;
        const std::uint32_t size = Le32(head + kEntrySizeAt);
        const std::uint32_t sequence = Le32(head + kEntrySequenceAt);
        if (size < kEntryHeader || size > b.Size() - at)
            break;
        if (!entries.empty() && sequence != entries.back().sequence + 1)
            break;
        entries.push_back(Entry{&log, at, size, sequence, Le32(head + kEntryBinsSizeAt)});
        at += AlignSector(size);
    }
    return entries;
}

// An entry's bytes, read into `bytes` (one buffer serves every entry).
bool ReadEntry(const Entry& e, std::string& bytes)
{
    bytes.resize(e.size);
    return e.log->Bytes().Read(e.offset, e.size, bytes.data());
}

// Whether an entry may be applied: both hashes, its hive-bins size, and
// every page inside the entry and inside those bins.
bool EntryHolds(const Entry& e, std::size_t maxBins, std::string& bytes)
{
    if (!ReadEntry(e, bytes))
        return false;
    const char* p = bytes.data();
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    const std::uint32_t bins = e.bins;
    const std::size_t pages = Le32(p + kEntryPageCountAt);
    if (bins == 0 || bins % kBinAlignment != 0 || bins > maxBins)
        return false;
    if (Marvin32(u + kEntryHeader, e.size - kEntryHeader, kLogEntrySeed) != Le64(p + kEntryHash1At)
        || Marvin32(u, 32, kLogEntrySeed) != Le64(p + kEntryHash2At))
        return false;
    if (pages > (e.size - kEntryHeader) / 8)
        return false;
    std::size_t data = kEntryHeader + pages * 8;
    for (std::size_t i = 0; i < pages; ++i) {
        const std::uint64_t offset = Le32(p + kEntryHeader + 8 * i);
        const std::uint64_t size = Le32(p + kEntryHeader + 8 * i + 4);
        if (offset + size > bins || size > e.size - data)
            return false;
        data += size;
    }
    return true;
}

// Writes the bytes an entry's pages put in [from, to) of the image, which
// already holds them. Pages that follow each other in the hive go in one
// write: their bytes follow each other in the entry too.
bool ApplyEntry(const Entry& e, ImageBuffer& image, std::string& bytes, std::size_t from, std::size_t to)
{
    if (!ReadEntry(e, bytes))
        return false;
    const char* p = bytes.data();
    const std::size_t pages = Le32(p + kEntryPageCountAt);
    std::size_t data = kEntryHeader + pages * 8;
    for (std::size_t i = 0; i < pages;) {
        const std::size_t at = kBaseBlockSize + Le32(p + kEntryHeader + 8 * i);
        std::size_t size = Le32(p + kEntryHeader + 8 * i + 4);
        for (++i; i < pages && kBaseBlockSize + Le32(p + kEntryHeader + 8 * i) == at + size; ++i)
            size += Le32(p + kEntryHeader + 8 * i + 4);
        const std::size_t start = std::max(at, from), end = std::min(at + size, to);
        if (start < end && !image.Write(start, p + data + (start - at), end - start))
            return false;
        data += size;
    }
    return true;
}

// A Recovered result whose hive bins proved broken: Unrecoverable, spoilt.
void RejectBrokenBins(Recovery& r)
{
    r.outcome = Recovery::Unrecoverable;
    r.logsUsed.clear();
    r.reason = u"its transaction logs leave it damaged (a hive bin is broken)";
    r.imageSpoilt = true;
}

// The recovered header and exactly the recovered bins; false when those
// bins are broken.
bool FinishImage(ImageBuffer& image, std::uint32_t bins, std::uint32_t sequence)
{
    char head[kBaseBlockSize];
    if (!image.Resize(kBaseBlockSize + bins) || !image.Read(0, sizeof head, head))
        return false;
    PutLe32(head + kBinsSizeAt, bins);
    MakeBaseBlockClean(head, sequence);
    return image.Write(0, head, sizeof head) && !CheckHiveBins(image);
}

// New format, from the logs alone: the chain of entries to apply, each
// checked, or false (and the reason) when nothing may be applied or the logs
// do not chain.
bool ChainNewFormat(const BaseBlock& base, const std::vector<UsableLog>& logs, std::size_t maxBins,
                    std::vector<Entry>& chain, Recovery& r)
{
    std::vector<std::vector<Entry>> live;
    for (const UsableLog& log : logs)
        live.push_back(LiveEntries(*log.file));
    // A log's live entries carry consecutive numbers: each is found by its
    // distance from the first.
    auto find = [&](std::uint32_t sequence) -> const Entry* {
        for (const auto& entries : live) {
            if (!entries.empty() && sequence >= entries.front().sequence
                && sequence - entries.front().sequence < entries.size())
                return &entries[sequence - entries.front().sequence];
        }
        return nullptr;
    };
    bool any = false;
    std::uint32_t start = 0;
    for (const auto& entries : live) {
        for (const Entry& e : entries) {
            if (e.sequence >= base.secondarySequence && (!any || e.sequence < start)) {
                start = e.sequence;
                any = true;
            }
        }
    }
    if (!any) {
        r.reason = u"its transaction logs hold none of the changes it is missing";
        return false;
    }

    const Entry* damaged = nullptr;
    std::uint32_t expected = start;
    std::string bytes;
    for (const Entry* e = find(expected); e; e = find(expected)) {
        if (!EntryHolds(*e, maxBins, bytes)) {
            damaged = e;
            break;
        }
        chain.push_back(*e);
        if (++expected == 0)
            break;
    }
    if (damaged) {
        // As Windows does: a damaged entry ends the chain, the ones before it stand.
        r.reason = u"entry " + IntToText(damaged->sequence) + u" of " + U(damaged->log->Name()) + u" is damaged";
        if (chain.empty())
            return false;
        r.reason += u"; the entries before it were applied";
    } else {
        for (const auto& entries : live) {
            for (const Entry& e : entries) {
                if (e.sequence > expected) {
                    r.reason = u"its transaction logs do not follow on from each other (entry " + IntToText(expected)
                        + u" is missing)";
                    chain.clear();
                    return false;
                }
            }
        }
    }
    return true;
}

// Writes a checked chain into the image. Two writers share the work, each
// owning one half of the hive's bytes and walking the whole chain in order,
// so every byte ends as the last entry to carry it left it: a write costs a
// system call, and a large recovery makes tens of thousands.
bool ApplyChain(ImageBuffer& image, const std::vector<Entry>& chain, Recovery& r)
{
    std::size_t size = image.Size();
    for (const Entry& e : chain) {
        size = std::max<std::size_t>(size, kBaseBlockSize + e.bins);  // every page lies within its entry's bins
        if (std::find(r.logsUsed.begin(), r.logsUsed.end(), e.log->Name()) == r.logsUsed.end())
            r.logsUsed.push_back(e.log->Name());
    }
    bool applied = image.Resize(size);
    if (applied) {
        const std::size_t middle = kBaseBlockSize + (size - kBaseBlockSize) / 2 / kBinAlignment * kBinAlignment;
        auto write = [&](std::size_t from, std::size_t to) {
            std::string bytes;
            for (const Entry& e : chain) {
                if (!ApplyEntry(e, image, bytes, from, to))
                    return false;
            }
            return true;
        };
        bool upper = false;
        applied = RunBeside([&] { return write(0, middle); }, [&] { upper = write(middle, size); }) && upper;
    }
    const Entry& last = chain.back();
    if (!applied || !FinishImage(image, last.bins, last.sequence)) {
        RejectBrokenBins(r);
        return false;
    }
    r.sequence = last.sequence;
    r.entriesApplied = chain.size();
    return true;
}

// Old format: the first log written for this state of the hive (the one
// whose header timestamp is the hive's; a header recovered from a log is
// that log's own).
bool ApplyOldFormat(ImageBuffer& image, const BaseBlock& base, const std::vector<UsableLog>& logs,
                    std::size_t maxBins, Recovery& r)
{
    const std::uint64_t stamp = base.timestamp;
    std::u16string notes;
    auto note = [&](const LogFile& log, const char16_t* what) {
        notes += (notes.empty() ? u"" : u"; ") + U(log.Name()) + what;
    };
    for (const UsableLog& log : logs) {
        const ByteSource& b = log.file->Bytes();
        const std::uint32_t bins = log.base.binsSize;
        if (log.base.primarySequence != log.base.secondarySequence) {
            note(*log.file, u" was not finished");
            continue;
        }
        if (log.base.timestamp != stamp) {
            note(*log.file, u" belongs to another state of the hive");
            continue;
        }
        const std::size_t mapBytes = bins / kBinAlignment;
        const bool sized = bins != 0 && bins % kBinAlignment == 0 && bins <= maxBins
            && b.Size() >= kSector + 4 + mapBytes;
        std::string dirt(sized ? 4 + mapBytes : 0, '\0');
        if (!sized || !b.Read(kSector, dirt.size(), dirt.data()) || dirt.compare(0, 4, "DIRT") != 0) {
            note(*log.file, u" is damaged (its map of changed pages is missing)");
            continue;
        }
        const char* map = dirt.data() + 4;
        std::size_t from = AlignSector(kSector + 4 + mapBytes);
        std::string run;
        Undo undo(image);
        std::size_t pages = 0;
        bool cut = false;
        auto dirty = [&](std::size_t bit) { return (static_cast<unsigned char>(map[bit / 8]) >> (bit % 8)) & 1u; };
        const std::size_t sectors = bins / kSector;
        for (std::size_t bit = 0; bit < sectors && !cut;) {
            if (!dirty(bit)) {
                ++bit;
                continue;
            }
            // A run of dirty sectors lies in the log one after the other: one write.
            std::size_t count = 1;
            while (bit + count < sectors && dirty(bit + count))
                ++count;
            run.resize(count * kSector);
            if (from > b.Size() || count > (b.Size() - from) / kSector || !b.Read(from, run.size(), run.data())
                || !undo.Write(kBaseBlockSize + bit * kSector, run.data(), run.size())) {
                cut = true;
                break;
            }
            from += run.size();
            pages += count;
            bit += count;
        }
        if (cut || !undo.Resize(kBaseBlockSize + bins) || !FinishImage(image, bins, log.base.primarySequence)) {
            undo.Rollback();
            note(*log.file, cut ? u" is cut short" : u" leaves the hive damaged");
            continue;
        }
        r.sequence = log.base.primarySequence;
        r.entriesApplied = pages;
        r.logsUsed.push_back(log.file->Name());
        return true;
    }
    r.reason = notes.empty() ? u"no transaction log belongs to it" : notes;
    return false;
}

}  // namespace


std::uint32_t HighestLogSequence(const std::vector<LogFile>& logs)
{
    std::uint32_t highest = 0;
    for (const LogFile& log : logs) {
        const ByteSource& b = log.Bytes();
        const BaseBlock base = ReadBaseBlock(LogHeader(log));
        if (!base.signature)
            continue;
        highest = std::max({highest, base.primarySequence, base.secondarySequence});
        char head[kEntrySequenceAt + 4];
        for (std::size_t at = kSector; at + sizeof head <= b.Size(); at += kSector) {
            if (b.Read(at, sizeof head, head) && std::string_view(head, 4) == "HvLE")
                highest = std::max(highest, Le32(head + kEntrySequenceAt));
        }
    }
    return highest;
}

Recovery RecoverHive(std::string primary, const std::vector<LogFile>& logs)
{
    const std::string given = primary;
    StringBuffer buffer(primary);
    Recovery r = RecoverHiveInPlace(buffer, logs);
    r.image = r.imageSpoilt ? given : std::move(primary);
    r.imageSpoilt = false;
    return r;
}

struct RecoveryPlan::Detail {
    Recovery r;
    bool apply = false;          // Unrecoverable so far, with something to apply
    BaseBlock base;              // as recovery sees it (from a log when the hive's was broken)
    std::string header;          // the hive's own base block
    std::string fixedHeader;     // its first sector taken from a log, when its checksum was wrong
    std::size_t maxBins = 0;
    std::vector<Entry> chain;    // new format
    std::vector<UsableLog> old;  // old format: the logs to try, in order
};

RecoveryPlan::RecoveryPlan() : m_detail(std::make_shared<Detail>()) {}

RecoveryPlan PlanRecovery(std::string_view hiveHeader, std::size_t hiveSize, const std::vector<LogFile>& logs)
{
    RecoveryPlan plan;
    RecoveryPlan::Detail& d = *plan.m_detail;
    Recovery& r = d.r;
    d.header.assign(hiveHeader.substr(0, kBaseBlockSize));
    d.base = ReadBaseBlock(d.header);
    if (!d.base.signature || d.header.size() < kBaseBlockSize || hiveSize < kBaseBlockSize) {
        r.outcome = Recovery::NotAHive;
        return plan;
    }
    if (!d.base.Dirty()) {
        r.outcome = Recovery::Clean;
        return plan;
    }
    r.outcome = Recovery::Unrecoverable;

    std::vector<UsableLog> newLogs, oldLogs;
    std::u16string unusable;
    std::size_t logBytes = 0;
    for (const LogFile& log : logs) {
        if (log.Bytes().Size() == 0)
            continue;  // an unused log is empty
        const BaseBlock lb = ReadBaseBlock(LogHeader(log));
        const char16_t* why = nullptr;
        if (!lb.signature)
            why = u" is not a transaction log";
        else if (!lb.checksumOk)
            why = u" is damaged (its header checksum is wrong)";
        else if (lb.fileType == kNewFormat)
            newLogs.push_back({&log, lb});
        else if (lb.fileType == kOldFormat)
            oldLogs.push_back({&log, lb});
        else
            why = u" is not a transaction log of a known kind";
        if (why)
            unusable += (unusable.empty() ? u"" : u"; ") + U(log.Name()) + why;
        else
            logBytes += log.Bytes().Size();
    }
    const std::vector<UsableLog>& chosen = newLogs.empty() ? oldLogs : newLogs;
    if (chosen.empty()) {
        const std::u16string what = d.base.checksumOk ? u"it has no usable transaction log"
                                                      : u"its header is damaged and it has no usable transaction log";
        r.reason = unusable.empty() ? what : what + u" (" + unusable + u")";
        return plan;
    }
    // The hive may grow only by the pages its logs carry.
    d.maxBins = hiveSize + logBytes;

    if (!d.base.checksumOk) {
        d.fixedHeader = d.header;
        std::memcpy(d.fixedHeader.data(), LogHeader(*chosen.front().file).data(), kSector);
        PutLe32(d.fixedHeader.data() + kFileTypeAt, kFileTypeHive);
        PutLe32(d.fixedHeader.data() + kChecksumAt, BaseBlockChecksum(d.fixedHeader));
        d.base = ReadBaseBlock(d.fixedHeader);
    }
    if (!newLogs.empty())
        d.apply = ChainNewFormat(d.base, newLogs, d.maxBins, d.chain, r);
    else {
        d.old = oldLogs;
        d.apply = true;
    }
    return plan;
}

Recovery CarryOutRecovery(const RecoveryPlan& plan, ImageBuffer& image)
{
    const RecoveryPlan::Detail& d = *plan.m_detail;
    Recovery r = d.r;
    if (!d.apply)
        return r;
    if (!d.fixedHeader.empty() && !image.Write(0, d.fixedHeader.data(), kSector)) {
        r.reason = u"there is not enough memory to recover it";
        return r;
    }
    const bool applied = !d.chain.empty() ? ApplyChain(image, d.chain, r)
                                          : ApplyOldFormat(image, d.base, d.old, d.maxBins, r);
    if (!applied) {
        // The header as given; a write into memory that failed here would
        // have failed before.
        if (!image.Write(0, d.header.data(), kBaseBlockSize))
            r.imageSpoilt = true;
        return r;
    }
    r.outcome = Recovery::Recovered;
    return r;
}

Recovery RecoverHiveInPlace(ImageBuffer& image, const std::vector<LogFile>& logs)
{
    return CarryOutRecovery(PlanRecovery(Header(image), image.Size(), logs), image);
}

}  // namespace quelvo::regfile::hive
