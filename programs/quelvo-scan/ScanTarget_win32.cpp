// The Windows target: the running machine, through advapi32. Without an
// elevated prompt every key the check opens with full access refuses it and
// so reads as absent; that is reported as a machine not checked (exit status
// 3), never as a clean one.

#include "ScanTarget.h"

#include "platform/Target.h"
#include "platform/win32/Win32Registry.h"

#include <windows.h>

namespace quelvo::scancli {

namespace {

namespace fs = std::filesystem;
namespace pf = quelvo::platform;

bool ProcessIsElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)
        && elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

pf::win32::Win32Registry* MachineRegistry()
{
    return dynamic_cast<pf::win32::Win32Registry*>(&pf::ActiveTarget().Registry());
}

class NativeScanTarget final : public ScanTarget {
public:
    explicit NativeScanTarget(const ScanOptions& options)
    {
        if (auto* registry = MachineRegistry(); registry && options.backupDir)
            registry->SetBackupFolder(PathText(*options.backupDir));
    }

    bool Opened() const override { return true; }

    TargetReport Describe(bool classesRefused) const override
    {
        TargetReport out;
        out.kind = "windows";
        out.description = pf::ActiveTarget().Description();
        if (classesRefused) {
            out.state = TargetState::Unreadable;
            out.needsElevation = !ProcessIsElevated();
            out.reason = out.needsElevation
                ? u"quelvo-scan.exe needs an elevated prompt: without one, HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes "
                  u"refuses the full access the check opens it with, so nothing was checked. Run it from a prompt "
                  u"started with Run as administrator."
                : u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes refuses full access, so nothing below it could be "
                  u"checked.";
        }
        return out;
    }

    std::vector<BackupFile> BackupFiles() const override
    {
        std::vector<BackupFile> out;
        const auto* registry = MachineRegistry();
        std::error_code ec;
        if (registry && !registry->BackupFile().empty() && fs::is_regular_file(fs::path(registry->BackupFile()), ec))
            out.push_back(BackupFile{"reg", fs::path(registry->BackupFile())});
        return out;
    }
};

}  // namespace

std::unique_ptr<ScanTarget> ScanTarget::Open(const ScanOptions& options)
{
    return std::make_unique<NativeScanTarget>(options);
}

}  // namespace quelvo::scancli
