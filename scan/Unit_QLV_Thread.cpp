#include "scan/Unit_QLV_Thread.h"

#include "scan/Unit_QLV_func_FilesDirs.h"
#include "scan/Unit_QLV_func_Registry.h"

#include <atomic>
#include <string>

namespace quelvo::scan {

namespace {

constexpr std::u16string_view kClasses = u"SOFTWARE\\Classes\\";
constexpr std::u16string_view kOpenCommand = u"\\Shell\\Open\\Command\\";
constexpr std::uint32_t kExtensionPauseMs = 10;

std::atomic<bool> g_extensionPause{true};

std::u16string ClassesPath(std::u16string_view name)
{
    std::u16string path(kClasses);
    path += name;
    return path;
}

// The chain extension key -> file type key -> Shell\Open\Command -> command
// -> program path, as far as it goes.
ExtensionFinding Examine(const std::u16string& name, std::u16string& progId, std::u16string& command,
                         std::u16string& exePath)
{
    const RegRoot root = quelvo::platform::HKEY_LOCAL_MACHINE;
    const std::u16string extensionKey = ClassesPath(name);
    if (!func_Reg_ReadString(root, extensionKey, u"", progId))
        return ExtensionFinding::NoDefaultValue;
    // The default value is used exactly as read: a file type name with
    // blanks around it does not name the trimmed key.
    if (progId.empty())
        return func_Reg_HasSubKeys(root, extensionKey) ? ExtensionFinding::EmptyDefaultWithSubKeys
                                                       : ExtensionFinding::EmptyDefault;
    if (!func_Reg_KeyExists(root, ClassesPath(progId)))
        return func_Reg_HasSubKeys(root, extensionKey) ? ExtensionFinding::MissingFileTypeWithSubKeys
                                                       : ExtensionFinding::MissingFileType;
    const std::u16string commandKey = ClassesPath(progId) + std::u16string(kOpenCommand);
    if (!func_Reg_KeyExists(root, commandKey))
        return ExtensionFinding::NoOpenCommand;
    if (!func_Reg_ReadString(root, commandKey, u"", command) || command.empty())
        return ExtensionFinding::EmptyOpenCommand;
    exePath = func_GetExePathFromCommand(command);
    return exePath.empty() ? ExtensionFinding::NoProgramPath : ExtensionFinding::ProgramPath;
}

}  // namespace

QLVO_Thread_Scan::QLVO_Thread_Scan()
{
    SetFreeOnTerminate(true);
}

void QLVO_Thread_Scan::SetExtensionPauseEnabled(bool enabled)
{
    g_extensionPause = enabled;
}

void QLVO_Thread_Scan::Execute()
{
    const RegRoot root = quelvo::platform::HKEY_LOCAL_MACHINE;
    // An exception from a callback ends the examination, but the end call is
    // still made so that the window does not wait for it forever.
    try {
        if (mpu_dword_cb_QV_Start)
            mpu_dword_cb_QV_Start();

        StringList names;
        func_Reg_GetSubKeyNames(root, kClasses, names);

        std::u16string progId;
        std::u16string command;
        std::u16string exePath;
        for (const std::u16string& name : names) {
            if (Terminated())
                break;
            progId.clear();
            command.clear();
            exePath.clear();
            if (name.empty() || name.front() != u'.')
                continue;

            if (mpu_dword_cb_QV_GetExeName)
                mpu_dword_cb_QV_GetExeName(name.c_str());
            if (m_pause && g_extensionPause.load(std::memory_order_relaxed))
                Pause(kExtensionPauseMs);

            const ExtensionFinding finding = Examine(name, progId, command, exePath);
            if (mpu_dword_cb_QV_ExeInfo) {
                if (finding == ExtensionFinding::ProgramPath)
                    mpu_dword_cb_QV_ExeInfo(name.c_str(), exePath.c_str(), 1);
                else if (finding == ExtensionFinding::EmptyDefault || finding == ExtensionFinding::MissingFileType)
                    mpu_dword_cb_QV_ExeInfo(name.c_str(), u"", 2);
            }
            if (mpu_dword_cb_QV_Detail)
                mpu_dword_cb_QV_Detail(name.c_str(), progId.c_str(), command.c_str(), exePath.c_str(),
                                       static_cast<std::int32_t>(finding));
        }
    } catch (...) {
    }
    if (mpu_dword_cb_QV_End)
        mpu_dword_cb_QV_End();
}

}  // namespace quelvo::scan
