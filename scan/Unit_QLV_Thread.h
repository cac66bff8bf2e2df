#pragma once

// The scan worker: walks every extension key under
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes on a thread of its own and reports
// through four callback slots, which must all be set before Start.
//
// Calls of one run: start; then, per examined extension in enumeration
// order, the name call and at most one outcome call for it:
//   error type 1: (extension, executable path, 1), the chain extension ->
//                 file type -> Shell\Open\Command -> command -> path is whole;
//   error type 2: (extension, empty, 2), the extension names no file type or
//                 a missing one, and has no sub-keys;
// then the end call. Text arguments are valid only during the call.
//
// A fifth, optional slot (the command-line scan sets it, the window does
// not) gets what the examination of each extension read, right after its
// outcome call (or its name call when there is none).

#include "platform/Thread.h"

#include <cstdint>

namespace quelvo::scan {

// Where the examination of one extension ended, one value per case of the
// worker's outcome table (B to J); the outcome call is made for
// EmptyDefault and MissingFileType (type 2) and ProgramPath (type 1).
enum class ExtensionFinding : std::int32_t {
    NoDefaultValue = 1,          // the key does not open, or has no default value
    EmptyDefaultWithSubKeys,     // empty default value, the key has sub-keys
    EmptyDefault,                // empty default value, no sub-keys
    MissingFileTypeWithSubKeys,  // the file type it names has no key; it has sub-keys
    MissingFileType,             // the same without sub-keys
    NoOpenCommand,               // the file type has no Shell\Open\Command key
    EmptyOpenCommand,            // that key has no default value, or an empty one
    NoProgramPath,               // no program path in the command
    ProgramPath,                 // the command names a program path
};

class QLVO_Thread_Scan : public quelvo::platform::Thread {
public:
    using cb_QV_GetExeName = int (*)(const char16_t* str_param_ExeName);
    using cb_QV_Start = int (*)();
    using cb_QV_End = int (*)();
    using cb_QV_ExeInfo = int (*)(const char16_t* str_param_ExeName, const char16_t* str_param_ShellPath,
                                  std::int32_t int_param_ErrorType);
    // The extension, the file type name and the command as read (empty when
    // not read), the program path (empty when none), an ExtensionFinding.
    using cb_QV_Detail = int (*)(const char16_t* str_param_ExeName, const char16_t* str_param_ProgId,
                                 const char16_t* str_param_Command, const char16_t* str_param_ShellPath,
                                 std::int32_t int_param_Finding);

    // Suspended, and freed by itself when its run ends.
    QLVO_Thread_Scan();

    cb_QV_GetExeName mpu_dword_cb_QV_GetExeName = nullptr;
    cb_QV_Start mpu_dword_cb_QV_Start = nullptr;
    cb_QV_End mpu_dword_cb_QV_End = nullptr;
    cb_QV_ExeInfo mpu_dword_cb_QV_ExeInfo = nullptr;
    cb_QV_Detail mpu_dword_cb_QV_Detail = nullptr;  // optional

    // The pause made before each examined extension, 10 ms. Only the
    // benchmark turns it off, to measure the scan's own work.
    static void SetExtensionPauseEnabled(bool enabled);
    // The same for this worker alone (a command line has no progress to pace).
    void SetExtensionPause(bool enabled) { m_pause = enabled; }

protected:
    // Stops early when Terminated() is set between two extensions; the end
    // call is made in every case.
    void Execute() override;

private:
    bool m_pause = true;
};

}  // namespace quelvo::scan
