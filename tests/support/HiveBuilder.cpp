#include "tests/support/HiveBuilder.h"

#include "regfile/HiveHeader.h"
#include "regfile/Marvin32.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchFolder.h"

#include <hivex.h>
#include <lzma.h>

#include <cstring>
#include <stdexcept>

namespace quelvo::test {

namespace fs = std::filesystem;
namespace hive = regfile::hive;

namespace {

constexpr std::size_t kPage = 4096;

std::string Unxz(const std::string& compressed)
{
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_stream_decoder(&stream, UINT64_MAX, 0) != LZMA_OK)
        throw std::runtime_error("lzma_stream_decoder failed");
    std::string out;
    char buffer[1 << 16];
    stream.next_in = reinterpret_cast<const std::uint8_t*>(compressed.data());
    stream.avail_in = compressed.size();
    lzma_ret ret = LZMA_OK;
    while (ret == LZMA_OK) {
        stream.next_out = reinterpret_cast<std::uint8_t*>(buffer);
        stream.avail_out = sizeof buffer;
        ret = lzma_code(&stream, LZMA_FINISH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    lzma_end(&stream);
    if (ret != LZMA_STREAM_END)
        throw std::runtime_error("not an xz file");
    return out;
}

void Put32(std::string& s, std::size_t at, std::uint32_t v) { hive::PutLe32(s.data() + at, v); }


}  // namespace

void WriteEmptyHive(const fs::path& file)
{
    std::string hive(8192, '\0');
    const auto put16 = [&](std::size_t at, std::uint16_t v) {
        hive[at] = char(v);
        hive[at + 1] = char(v >> 8);
    };
    // Base block.
    hive.replace(hive::kSignatureAt, 4, "regf");
    Put32(hive, hive::kMajorVersionAt, 1);
    Put32(hive, hive::kMinorVersionAt, 3);
    Put32(hive, hive::kFileTypeAt, hive::kFileTypeHive);
    Put32(hive, 0x20, 1);                    // file format: direct memory load
    Put32(hive, hive::kRootCellAt, 0x20);    // relative to the first hbin
    Put32(hive, hive::kBinsSizeAt, 0x1000);
    Put32(hive, 0x2C, 1);                    // clustering factor
    hive::SetSequenceNumbers(hive.data(), 1, 1);

    const std::size_t bin = 0x1000;
    hive.replace(bin, 4, "hbin");
    Put32(hive, bin + 4, 0);       // offset of this hbin
    Put32(hive, bin + 8, 0x1000);  // its size

    // Root nk cell at 0x20: 4 (size) + 76 (fields) + 4 (name) = 84, rounded to 88.
    const std::size_t nk = bin + 0x20;
    const std::uint32_t skOffset = 0x20 + 88;
    Put32(hive, nk, std::uint32_t(-88));
    hive.replace(nk + 4, 2, "nk");
    put16(nk + 6, 0x2C);                 // hive entry, no delete, compressed name
    Put32(hive, nk + 0x14, 0);           // parent
    Put32(hive, nk + 0x18, 0);           // sub-keys
    Put32(hive, nk + 0x1C, 0);           // volatile sub-keys
    Put32(hive, nk + 0x20, 0xFFFFFFFF);  // sub-key list
    Put32(hive, nk + 0x24, 0xFFFFFFFF);  // volatile list
    Put32(hive, nk + 0x28, 0);           // values
    Put32(hive, nk + 0x2C, 0xFFFFFFFF);  // value list
    Put32(hive, nk + 0x30, skOffset);    // security
    Put32(hive, nk + 0x34, 0xFFFFFFFF);  // class name
    put16(nk + 0x4C, 4);                 // name length
    hive.replace(nk + 0x50, 4, "ROOT");

    // Security cell: a self-relative descriptor without owner, group or ACLs.
    const std::size_t sk = bin + skOffset;
    Put32(hive, sk, std::uint32_t(-48));
    hive.replace(sk + 4, 2, "sk");
    Put32(hive, sk + 8, skOffset);   // flink
    Put32(hive, sk + 12, skOffset);  // blink
    Put32(hive, sk + 16, 1);         // reference count
    Put32(hive, sk + 20, 20);        // descriptor size
    hive[sk + 24] = 1;               // revision
    put16(sk + 26, 0x8000);          // self-relative

    // The rest of the hbin is one free cell.
    const std::size_t free = sk + 48;
    Put32(hive, free, std::uint32_t(bin + 0x1000 - free));

    WriteBytes(file, hive);
}

bool UnpackRealSet(const std::string& set, const fs::path& into)
{
    const fs::path folder = fs::path(QUELVO_HIVE_DATA) / set;
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".xz")
            continue;
        WriteBytes(into / entry.path().stem(), Unxz(ReadBytes(entry.path())));
    }
    return true;
}

std::string RealSetsMissing()
{
    return std::string("the real hives are not at ") + QUELVO_HIVE_DATA + " (a checkout without ../shared/data)";
}

std::uint32_t SecondarySequence(std::string_view hive) { return hive::Le32(hive.data() + hive::kSecondarySequenceAt); }
std::uint32_t BinsSize(std::string_view hive) { return hive::Le32(hive.data() + hive::kBinsSizeAt); }

std::string WithSequenceNumbers(std::string hive, std::uint32_t primary, std::uint32_t secondary)
{
    hive::SetSequenceNumbers(hive.data(), primary, secondary);
    return hive;
}

std::vector<HivePage> ChangedPages(std::string_view from, std::string_view to)
{
    std::vector<HivePage> pages;
    const std::uint32_t fromBins = BinsSize(from);
    for (std::uint32_t at = 0; at < BinsSize(to); at += kPage) {
        const std::string_view page = to.substr(hive::kBaseBlockSize + at, kPage);
        if (at + kPage > fromBins || from.substr(hive::kBaseBlockSize + at, kPage) != page)
            pages.emplace_back(at, std::string(page));
    }
    return pages;
}

std::string NewFormatLog(std::string_view hive, std::uint32_t sequence, const std::vector<LogEntrySpec>& entries)
{
    std::string log(hive.substr(0, hive::kHeaderPartSize));
    Put32(log, hive::kFileTypeAt, hive::kFileTypeNewLog);
    hive::SetSequenceNumbers(log.data(), sequence, sequence);
    for (const LogEntrySpec& wanted : entries) {
        std::string body;
        for (const auto& [offset, bytes] : wanted.pages) {
            body += std::string(8, '\0');
            Put32(body, body.size() - 8, offset);
            Put32(body, body.size() - 4, std::uint32_t(bytes.size()));
        }
        for (const auto& page : wanted.pages)
            body += page.second;
        const std::size_t size = (hive::kEntryHeaderSize + body.size() + 511) / 512 * 512;
        std::string entry = "HvLE" + std::string(hive::kEntryHeaderSize - 4, '\0') + body;
        entry.resize(size, '\0');
        Put32(entry, hive::kEntrySizeAt, std::uint32_t(size));
        Put32(entry, hive::kEntrySequenceAt, wanted.sequence);
        Put32(entry, hive::kEntryBinsSizeAt, wanted.binsSize);
        Put32(entry, hive::kEntryPageCountAt, std::uint32_t(wanted.pages.size()));
        auto hash = [&](std::size_t from, std::size_t length) {
            return hive::Marvin32(reinterpret_cast<const unsigned char*>(entry.data()) + from, length,
                                  hive::kLogEntrySeed);
        };
        hive::PutLe64(entry.data() + hive::kEntryHash1At, hash(hive::kEntryHeaderSize, size - hive::kEntryHeaderSize));
        hive::PutLe64(entry.data() + hive::kEntryHash2At, hash(0, 32));
        log += entry;
    }
    return log;
}

DirtyHive MakeDirtyHive(const std::string& before, const std::string& after)
{
    const std::uint32_t n = SecondarySequence(before);
    const std::vector<HivePage> pages = ChangedPages(before, after);
    // Three entries, the first two in LOG1 and the last in LOG2. As Windows
    // writes them, the hive grows with the entry that carries its new bins:
    // the last one here.
    std::vector<LogEntrySpec> entries(3);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].sequence = n + std::uint32_t(i);
        entries[i].binsSize = i + 1 < entries.size() ? BinsSize(before) : BinsSize(after);
    }
    std::size_t old = 0;
    for (const auto& page : pages)
        old += page.first < BinsSize(before);
    std::size_t i = 0;
    for (const auto& page : pages) {
        if (page.first >= BinsSize(before))
            entries.back().pages.push_back(page);
        else
            entries[i++ * 2 / old].pages.push_back(page);
    }
    DirtyHive dirty;
    dirty.file = WithSequenceNumbers(before, n + 1, n);
    dirty.log1 = NewFormatLog(after, n, {entries[0], entries[1]});
    dirty.log2 = NewFormatLog(after, n + 2, {entries[2]});
    return dirty;
}

std::string ChangeClassesHive(const std::string& hive, const ClassesChange& change)
{
    ScratchFolder dir("quelvo-hive");
    const fs::path file = dir / "SOFTWARE";
    if (hive.empty())
        WriteEmptyHive(file);
    else
        WriteBytes(file, hive);
    hive_h* h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    if (!h)
        throw std::runtime_error("hivex_open failed");
    auto child = [&](hive_node_h parent, const std::string& name) {
        hive_node_h node = hivex_node_get_child(h, parent, name.c_str());
        return node ? node : hivex_node_add_child(h, parent, name.c_str());
    };
    auto setDefault = [&](hive_node_h node, const std::string& text) {
        std::string bytes;
        for (char c : text)
            bytes += std::string{c, '\0'};
        bytes += std::string(2, '\0');
        hive_set_value value{const_cast<char*>(""), hive_t_REG_SZ, bytes.size(), bytes.data()};
        if (hivex_node_set_value(h, node, &value, 0) != 0)
            throw std::runtime_error("hivex_node_set_value failed");
    };
    const hive_node_h classes = child(hivex_root(h), "Classes");
    for (const auto& [extension, type] : change.extensions)
        setDefault(child(classes, extension), type);
    for (const auto& extension : change.removed) {
        if (const hive_node_h node = hivex_node_get_child(h, classes, extension.c_str()))
            hivex_node_delete_child(h, node);
    }
    for (const auto& type : change.types)
        setDefault(child(child(child(child(classes, type), "Shell"), "Open"), "Command"), "C:\\Apps\\" + type + ".exe");
    if (hivex_commit(h, nullptr, 0) != 0)
        throw std::runtime_error("hivex_commit failed");
    hivex_close(h);
    return ReadBytes(file);
}

fs::path HivePath(const fs::path& root) { return root / "Windows" / "System32" / "config" / "SOFTWARE"; }

fs::path WriteInstallation(const fs::path& root, const std::string& software, const std::string& log1,
                           const std::string& log2)
{
    const fs::path hive = HivePath(root);
    fs::create_directories(hive.parent_path());
    fs::create_directories(root / "Apps");
    WriteBytes(hive, software);
    if (!log1.empty())
        WriteBytes(hive.parent_path() / "SOFTWARE.LOG1", log1);
    if (!log2.empty())
        WriteBytes(hive.parent_path() / "SOFTWARE.LOG2", log2);
    return hive;
}

}  // namespace quelvo::test
