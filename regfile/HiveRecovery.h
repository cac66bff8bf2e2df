#pragma once

// Recovery of a dirty hive from its transaction logs, as Windows does when it
// loads one. A pure function of bytes: the hive file's and its logs', in the
// order Windows tries them (.LOG1, .LOG2, then .LOG).
//
// | Hive                                | Result                                                  |
// |-------------------------------------|---------------------------------------------------------|
// | no "regf" header                    | NotAHive                                                |
// | checksum right, sequence numbers    | Clean: its logs are ignored                             |
// | equal                               |                                                         |
// | dirty, logs in the new format       | the lowest entry at or above the hive's secondary       |
// | (file type 6, HvLE entries)         | sequence number starts a chain N, N+1, ... across the   |
// |                                     | logs; each entry's two Marvin32 hashes and hive-bins    |
// |                                     | size are checked, and the first that fails ends the     |
// |                                     | chain (the entries before it apply). A newer entry the  |
// |                                     | chain cannot reach means the logs do not chain          |
// | dirty, logs in the old format       | the first log whose header timestamp equals the hive's  |
// | (file type 1, DIRT bitmap)          | applies its dirty pages                                 |
// | checksum wrong                      | the header comes from the first usable log first        |
// | nothing applicable, logs that do    | Unrecoverable, with the reason; the image is the hive   |
// | not chain, a result whose hive bins | as given                                                |
// | are broken                          |                                                         |
//
// A log is usable when its header has the "regf" signature, a right
// checksum and a log file type. Memory stays within the sizes given: the
// hive may grow only by what its logs carry.

#include "regfile/HiveImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quelvo::regfile::hive {

// A transaction log: its bytes in memory, or read piece by piece from a
// source that outlives it (the offline store's private copy), which two
// threads may read at once.
class LogFile {
public:
    LogFile(std::string name, std::string_view bytes) : m_name(std::move(name)), m_view(bytes) {}
    LogFile(std::string name, const ByteSource& source) : m_name(std::move(name)), m_source(&source) {}
    // For messages: "SOFTWARE.LOG1".
    const std::string& Name() const { return m_name; }
    const ByteSource& Bytes() const { return m_source ? *m_source : m_view; }

private:
    std::string m_name;
    ViewSource m_view;
    const ByteSource* m_source = nullptr;
};

struct Recovery {
    enum Outcome { Clean, Recovered, Unrecoverable, NotAHive } outcome = NotAHive;
    // Recovered: the hive as Windows loads it, with equal sequence numbers, a
    // right checksum and exactly its hive bins. Otherwise the hive as given.
    std::string image;
    // Unrecoverable: why, in plain words ("its transaction logs do not follow
    // on from each other"). Recovered: a note when an entry ended the chain.
    std::u16string reason;
    std::uint32_t sequence = 0;            // Recovered: the sequence number of the result
    std::size_t entriesApplied = 0;        // log entries, or dirty pages of an old-format log
    std::vector<std::string> logsUsed;
    // RecoverHiveInPlace only: Unrecoverable after log pages were written
    // into the image (their result proved broken); the caller reads the
    // hive again. Rare, so nothing is kept for undoing them.
    bool imageSpoilt = false;
};

Recovery RecoverHive(std::string primary, const std::vector<LogFile>& logs);

// A hive's bytes while it is recovered in place: a string, or the offline
// store's private memory file, read and written piece by piece. Log entries
// are applied by two threads at once: Write must allow that (the bytes
// written never overlap, and nothing resizes meanwhile), and so must the
// logs' Read.
class ImageBuffer : public ByteSource {
public:
    virtual bool Write(std::size_t at, const char* data, std::size_t size) = 0;
    // Grows (with zero bytes) or shrinks; false when it cannot hold `size`.
    // A hive grows by no more than its logs' sizes together.
    virtual bool Resize(std::size_t size) = 0;
};

// RecoverHive on the bytes in `image`, changed in place; unless the result
// is Recovered they are left as given (see imageSpoilt). Recovery::image
// stays empty.
Recovery RecoverHiveInPlace(ImageBuffer& image, const std::vector<LogFile>& logs);

// A recovery in two steps, for a caller that can read the logs while the
// hive is still being copied: the plan needs only the hive's base block,
// its size and the logs (every entry to apply is read and checked here);
// carrying it out writes into the image. Together they are
// RecoverHiveInPlace. The plan refers to the logs, which must outlive it.
class RecoveryPlan {
public:
    RecoveryPlan();
    struct Detail;

private:
    friend RecoveryPlan PlanRecovery(std::string_view, std::size_t, const std::vector<LogFile>&);
    friend Recovery CarryOutRecovery(const RecoveryPlan&, ImageBuffer&);
    std::shared_ptr<Detail> m_detail;
};
RecoveryPlan PlanRecovery(std::string_view hiveHeader, std::size_t hiveSize, const std::vector<LogFile>& logs);
Recovery CarryOutRecovery(const RecoveryPlan& plan, ImageBuffer& image);

// The highest sequence number in the logs' headers and entries, valid or not:
// a clean hive written later must carry a higher one, so that no old entry
// ever counts as newer than it.
std::uint32_t HighestLogSequence(const std::vector<LogFile>& logs);

}  // namespace quelvo::regfile::hive
