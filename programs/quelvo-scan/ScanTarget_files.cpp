// The Linux target: the Wine prefix or offline Windows installation named by
// --target, else by the environment as the window finds it.

#include "ScanTarget.h"

#include "platform/Target.h"
#include "platform/files/FileTargets.h"
#include "platform/files/RegBackup.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace quelvo::scancli {

namespace {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;
namespace files = quelvo::platform::files;

class FilesScanTarget final : public ScanTarget {
public:
    explicit FilesScanTarget(const ScanOptions& options)
    {
        m_choice = files::ChooseTarget([&options](const char* name) -> std::optional<std::string> {
            if (options.target && std::string_view(name) == "QUELVO_TARGET")
                return options.target->string();
            if (const char* value = std::getenv(name))
                return std::string(value);
            return std::nullopt;
        });
        if (!m_choice.target)
            return;
        // A backup of our own, so that its files can be named in the report.
        m_backup = std::make_shared<files::RegBackup>(options.backupDir.value_or(files::DefaultBackupFolder()),
                                                      m_choice.tried);
        m_choice.target->Store().SetBackup(m_backup);
        m_active.emplace(*m_choice.target);
    }

    bool Opened() const override { return m_choice.target != nullptr; }

    TargetReport Describe(bool classesRefused) const override
    {
        TargetReport out;
        std::error_code ec;
        const fs::path absolute = fs::absolute(m_choice.tried, ec);
        out.path = (ec ? m_choice.tried : absolute).lexically_normal();
        if (!m_choice.target) {
            out.description = u"no registry at " + PathText(*out.path);
            out.state = fs::exists(m_choice.tried, ec) || fs::is_symlink(m_choice.tried, ec) ? TargetState::Unreadable
                                                                                           : TargetState::Missing;
            out.reason = m_choice.error;
            return out;
        }
        const files::FileTarget& target = *m_choice.target;
        out.kind = target.IsWinePrefix() ? "wine-prefix" : "windows-installation";
        for (const auto& log : target.RecoveredFrom())
            out.recoveredFrom.push_back(pf::FromUtf8(log));
        const files::TreeStore& store = m_choice.target->Store();
        out.description = m_choice.target->Description();
        const pf::ReadCondition read = store.ReadState();
        if (classesRefused) {
            out.state = TargetState::Unreadable;
            out.reason = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes refuses full access, so nothing below it could be "
                         u"checked.";
        } else if (read.kind != pf::ReadCondition::Complete) {
            out.state = read.kind == pf::ReadCondition::Damaged ? TargetState::Damaged : TargetState::Stale;
            out.reason = read.text;
        }
        return out;
    }

    std::vector<BackupFile> BackupFiles() const override
    {
        std::vector<BackupFile> out;
        std::error_code ec;
        if (!m_backup || m_backup->File().empty() || !fs::is_regular_file(m_backup->File(), ec))
            return out;
        // The hive and its logs are copied beside the export, under its name.
        const fs::path& reg = m_backup->File();
        out.push_back(BackupFile{"reg", reg});
        const std::string stem = reg.stem().string() + ".";
        std::vector<fs::path> copies;
        for (const auto& entry : fs::directory_iterator(reg.parent_path(), ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(stem, 0) == 0 && entry.path() != reg)
                copies.push_back(entry.path());
        }
        std::sort(copies.begin(), copies.end());
        for (const auto& copy : copies) {
            const std::string name = copy.filename().string();
            const bool desktop = name.size() > 13 && name.substr(name.size() - 13) == ".desktop.json";
            out.push_back(BackupFile{desktop ? "desktop" : "hive-copy", copy});
        }
        return out;
    }

private:
    files::TargetChoice m_choice;
    std::shared_ptr<files::RegBackup> m_backup;
    std::optional<pf::ScopedActiveTarget> m_active;
};

}  // namespace

std::unique_ptr<ScanTarget> ScanTarget::Open(const ScanOptions& options)
{
    return std::make_unique<FilesScanTarget>(options);
}

}  // namespace quelvo::scancli
