// The offline store's writing: the checks before any write, removals and
// additions in hivex's copy of the working copy, and the write back of a
// clean, checked hive through the owner-keeping replacement. Nothing here
// opens the hive's file again: every write starts from what was read and
// checked.

#include "platform/files/HiveStore.h"

#include "platform/Text.h"
#include "platform/files/HiveParts.h"
#include "platform/files/RegBackup.h"

#include <hivex.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <set>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quelvo::platform::files {

namespace fs = std::filesystem;
namespace hive = regfile::hive;
using regfile::NewKey;
using regfile::RegKey;
using regfile::RegValue;

namespace {

constexpr std::u16string_view kFastStartupAdvice =
    u"start that Windows and shut it down fully (hold Shift while choosing Shut down, or run \"powercfg /h off\" "
    u"once)";

// hivex commits to a path: the process's own view of a private memory file.
FileDescriptor CommitToMemoryFile(void* hive)
{
    FileDescriptor fd = MemoryFile("quelvo-hive-new");
    if (fd.Valid() && hivex_commit(HiveHandle(hive), DescriptorPath(fd.Get()).c_str(), 0) != 0)
        fd.Reset(-1);
    return fd;
}

// A FILETIME for now.
std::uint64_t Now() { return std::uint64_t(::time(nullptr)) * 10000000ull + 116444736000000000ull; }

}  // namespace

Hibernation ReadHibernation(const fs::path& installationRoot)
{
    const auto file = FindFileIgnoringCase(installationRoot, "hiberfil.sys");
    if (!file)
        return Hibernation::None;
    const FileDescriptor fd(::open(file->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    char head[4] = {};
    const bool read = fd.Valid() && ::pread(fd.Get(), head, sizeof head, 0) == ssize_t(sizeof head);
    if (read && EqualsIgnoreCaseAscii(FromUtf8(std::string_view(head, 4)), u"hibr"))
        return Hibernation::Hibernated;
    return Hibernation::FilePresent;
}

bool CommitHiveToBytes(void* hive, std::string* bytes, std::string* error)
{
    const FileDescriptor fd = CommitToMemoryFile(hive);
    if (!fd.Valid()) {
        *error = std::string("hivex cannot write the hive: ") + std::strerror(errno);
        return false;
    }
    if (!ReadStart(fd.Get(), FileSize(fd.Get()), bytes)) {
        *error = std::string("cannot read the hive hivex wrote: ") + std::strerror(errno);
        return false;
    }
    return true;
}

// ---- Checks ---------------------------------------------------------------

bool HiveStore::ChangedOnDisk() const
{
    if (IdentityOf(m_file) != m_identity)
        return true;
    if (m_recovered) {
        for (const HiveSource& log : m_sources.logs) {
            if (log.Changed())
                return true;
        }
    }
    return false;
}

RegStatus HiveStore::CheckStructureOnce(std::u16string* message)
{
    if (m_structureChecked)
        return kSuccess;
    const Mapping map(m_working.Get(), FileSize(m_working.Get()), false);
    if (!map.Ok()) {
        *message = u"Cannot read the registry hive " + PathText(m_file) + u" again: " + ErrnoText(errno)
            + u"; nothing was written.";
        return kWriteFault;
    }
    if (const hive::HiveProblem problem = hive::CheckHiveStructure(map.View())) {
        MarkDamaged(hive::DescribeHiveProblem(problem, PathText(m_file), kSoftwareRoot));
        *message = m_refusal;
        return kAccessDenied;
    }
    m_structureChecked = true;
    return kSuccess;
}

// Windows resuming from hibernation would write its own memory back over any
// change made now, and a disk mounted read-only takes none: refused before
// anything is touched.
RegStatus HiveStore::CheckInstallation(std::u16string* message) const
{
    const Hibernation hibernation = m_options.installationRoot.empty()
        ? Hibernation::None
        : ReadHibernation(m_options.installationRoot);
    if (hibernation == Hibernation::Hibernated) {
        *message = u"Windows on " + PathText(m_options.installationRoot)
            + u" is hibernated (Fast Startup): changes made now would be lost, or could damage the disk, when it "
              u"resumes. Nothing was written. To change its registry, " + std::u16string(kFastStartupAdvice)
            + u", then try again.";
        return kAccessDenied;
    }
    struct statvfs fs {};
    if (::fstatvfs(m_sources.hive.fd.Get(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) {
        *message = u"The registry hive " + PathText(m_file)
            + u" cannot be changed: the disk is mounted read-only. Nothing was written.";
        if (hibernation == Hibernation::FilePresent)
            *message += u" Windows on it may be hibernated (Fast Startup), and ntfs-3g mounts such a disk read-only: "
                + std::u16string(kFastStartupAdvice) + u", then mount the disk again.";
        else
            *message += u" Mount it read-write, then try again.";
        return kAccessDenied;
    }
    return kSuccess;
}

RegStatus HiveStore::CheckWritable(std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    if (!m_refusal.empty()) {
        *message = m_refusal;
        return kAccessDenied;
    }
    if (!m_hive) {
        *message = u"The registry hive " + where + u" is not open.";
        return kWriteFault;
    }
    if (const RegStatus status = CheckInstallation(message); status != kSuccess)
        return status;
    if (ChangedOnDisk()) {
        *message = ChangedOnDiskMessage(where);
        return kWriteFault;
    }
    const RegStatus status = CheckStructureOnce(message);
    if (status != kSuccess || m_writable)
        return status;
    // Changes need hivex's own copy of the hive; until now it only read it.
    std::u16string error;
    if (!Reopen(true, &error)) {
        *message = u"Cannot open the registry hive " + where + u" for changes: " + error + u"; nothing was written.";
        return kWriteFault;
    }
    return kSuccess;
}

RegStatus HiveStore::CheckAdditions(std::size_t count, std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    // A recovered hive holds its newest state in private memory only; a
    // restore waits until it is written back clean (a repair does that) or
    // Windows recovers it.
    if (m_recovered) {
        *message = u"The registry hive " + where
            + u" was not saved completely (its sequence numbers differ); it is not changed. Let Windows start "
              u"once to recover it.";
        return kAccessDenied;
    }
    if (count > kMaxHiveRestoreKeys) {
        *message = u"The backup would add " + IntToText(static_cast<long long>(count)) + u" keys to the hive "
            + where + u"; a restore into a hive adds at most "
            + IntToText(static_cast<long long>(kMaxHiveRestoreKeys)) + u". Nothing was written.";
        return kAccessDenied;
    }
    return kSuccess;
}

// ---- Changes --------------------------------------------------------------

RegStatus HiveStore::Failed(RegStatus status)
{
    std::u16string ignored;
    Reopen(true, &ignored);  // the in-memory hive may be inconsistent: drop it
    return status;
}

RegStatus HiveStore::PersistRemovals(const std::vector<RegKey*>& removed, std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    std::set<const RegKey*> batch(removed.begin(), removed.end());
    for (RegKey* key : removed) {
        if (!key->Parent() || !key->Parent()->Parent()) {
            *message = u"The root of the hive " + where + u" cannot be removed.";
            return kAccessDenied;
        }
        // A key removed with an ancestor goes with that ancestor's node.
        bool underRemoved = false;
        for (const RegKey* up = key->Parent(); up && !underRemoved; up = up->Parent())
            underRemoved = batch.count(up) != 0;
        if (underRemoved)
            continue;
        if (hivex_node_delete_child(HiveHandle(m_hive), key->backendId) != 0) {
            *message = u"Cannot remove " + key->Path() + u" from " + where + u": " + ErrnoText(errno);
            return Failed(kWriteFault);
        }
    }
    return WriteBack(message);
}

bool HiveStore::AddNode(const NewKey& key, std::u16string* message)
{
    hive_h* h = HiveHandle(m_hive);
    const std::u16string shown = regfile::ShownKeyPath(key.ShownPath());
    const std::vector<std::u16string> path = key.Path();
    for (const auto& part : path) {
        if (part.find(u'\0') != std::u16string::npos) {
            *message = u"The key " + shown + u" has a name a hive cannot hold; nothing was written.";
            return false;
        }
    }
    // Its parent is a key of the hive's, or one made just before (parents
    // come first in the plan).
    const hive_node_h parent = key.UnderExisting() ? hive_node_h(key.existing->backendId)
                                                   : hive_node_h(key.source->Parent()->backendId);
    const hive_node_h node = parent ? hivex_node_add_child(h, parent, ToUtf8(path.back()).c_str()) : 0;
    if (!node) {
        *message = u"Cannot add " + shown + u" to the hive " + PathText(m_file) + u": " + ErrnoText(errno)
            + u"; nothing was written.";
        return false;
    }
    key.source->backendId = node;  // for its sub-keys now, and for the tree it joins

    const std::vector<RegValue>& values = key.source->Values();
    std::vector<std::string> names;
    std::vector<hive_set_value> set;
    names.reserve(values.size());
    for (const RegValue& v : values) {
        if (v.name.find(u'\0') != std::u16string::npos) {
            *message = u"A value of " + shown + u" has a name a hive cannot hold; nothing was written.";
            return false;
        }
        names.push_back(ToUtf8(v.name));
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        set.push_back({names[i].data(), static_cast<hive_type>(values[i].type), values[i].data.size(),
                       reinterpret_cast<char*>(const_cast<std::uint8_t*>(values[i].data.data()))});
    if (!set.empty() && hivex_node_set_values(h, node, set.size(), set.data(), 0) != 0) {
        *message = u"The values of " + shown + u" do not fit the hive " + PathText(m_file) + u": " + ErrnoText(errno)
            + u"; nothing was written.";
        return false;
    }
    return true;
}

RegStatus HiveStore::PersistAdditions(const std::vector<NewKey>& add, std::u16string* message)
{
    for (const NewKey& key : add) {
        if (!AddNode(key, message))
            return Failed(kWriteFault);
    }
    return WriteBack(message);
}

std::uint32_t HiveStore::NextSequence(std::string_view written) const
{
    std::uint32_t highest = std::max({m_sequenceFloor, hive::Le32(written.data() + hive::kPrimarySequenceAt),
                                      hive::Le32(written.data() + hive::kSecondarySequenceAt)});
    std::vector<std::string> logBytes(m_sources.logs.size());
    std::vector<hive::LogFile> logs;
    for (std::size_t i = 0; i < m_sources.logs.size(); ++i) {
        if (m_sources.logs[i].ReadAll(&logBytes[i]))
            logs.push_back({m_sources.logs[i].name, logBytes[i]});
    }
    highest = std::max(highest, hive::HighestLogSequence(logs));
    return highest == 0xFFFFFFFF ? 0 : highest + 1;
}

bool HiveStore::KeepCopies(std::u16string* message)
{
    RegBackup* backup = Backup();
    if (!backup) {
        *message = u"The registry hive " + PathText(m_file)
            + u" was recovered from its transaction logs, and there is no backup folder to keep copies of them "
              u"in; nothing was written.";
        return false;
    }
    std::vector<const HiveSource*> sources{&m_sources.hive};
    for (const HiveSource& log : m_sources.logs)
        sources.push_back(&log);
    fs::path folder;
    for (const HiveSource* source : sources) {
        if (source->Changed()) {
            *message = ChangedOnDiskMessage(PathText(source->path));
            return false;
        }
        fs::path copy;
        const FileDescriptor fd = backup->CreateCompanion(source->name, &copy, message);
        if (!fd.Valid())
            return false;
        if (!CopyBytes(source->fd.Get(), fd.Get(), std::size_t(source->opened.st_size)) || ::fsync(fd.Get()) != 0) {
            *message = u"Cannot write the copy " + PathText(copy) + u": " + ErrnoText(errno) + u"; nothing was written.";
            return false;
        }
        folder = copy.parent_path();
    }
    FlushFolder(folder);
    return true;
}

RegStatus HiveStore::WriteBack(std::u16string* message)
{
    const std::u16string where = PathText(m_file);
    // hivex writes the whole hive into a private file; its bytes get a
    // clean header and are checked before they reach the disk.
    FileDescriptor committed = CommitToMemoryFile(m_hive);
    if (!committed.Valid()) {
        *message = u"hivex cannot write the new hive: " + ErrnoText(errno) + u"; " + where + u" is unchanged.";
        return Failed(kWriteFault);
    }
    Mapping map(committed.Get(), FileSize(committed.Get()), true);
    const std::string_view bytes = map.View();
    if (!map.Ok() || bytes.size() < hive::kBaseBlockSize) {
        *message = u"Cannot read back the new hive: " + ErrnoText(errno) + u"; " + where + u" is unchanged.";
        return Failed(kWriteFault);
    }
    const std::uint32_t sequence = NextSequence(bytes);
    if (sequence == 0) {
        *message = u"The sequence numbers of " + where + u" and its logs are used up; it is unchanged.";
        return Failed(kAccessDenied);
    }
    // Written now: a log of an older state (old format logs go by this
    // timestamp) can never be taken for this one's.
    hive::PutLe64(map.Data() + hive::kTimestampAt, Now());
    hive::MakeBaseBlockClean(map.Data(), sequence);
    if (const hive::HiveProblem problem = hive::CheckHiveStructure(bytes)) {
        *message = u"The new hive failed its check (" + hive::DescribeHiveProblem(problem, u"it", kSoftwareRoot)
            + u"); " + where + u" is unchanged.";
        return Failed(kWriteFault);
    }
    if (m_recovered && !KeepCopies(message))
        return Failed(kWriteFault);
    std::string writeError;
    FileIdentity placed;
    if (!ReplaceFile(m_file, bytes, &writeError, m_replaceHook, {m_identity, &placed})) {
        *message = u"Cannot rewrite " + where + u": " + FromUtf8(writeError) + u"; it is unchanged.";
        return Failed(kWriteFault);
    }
    // The hive on disk is now these bytes: they are the working copy from
    // here on, and its logs no longer count.
    m_working = std::move(committed);
    m_identity = placed;
    m_recovered = false;
    m_sequenceFloor = sequence;
    return kSuccess;
}

}  // namespace quelvo::platform::files
