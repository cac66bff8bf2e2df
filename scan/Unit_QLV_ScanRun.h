#pragma once

// One scan as the window and the command-line scan both run it: the worker
// wired to the bridges (so to the registered receiver), the rule by which
// its outcome calls are kept, and a whole scan run to its end for a caller
// without a window. Toolkit-free.

#include "platform/Dictionary.h"
#include "scan/Unit_QLVO_CBGUI.h"
#include "scan/Unit_QLV_Thread.h"

#include <memory>
#include <string>
#include <vector>

namespace quelvo::platform {
class HandOverRunner;
}

namespace quelvo::scan {

// A suspended worker whose slots hold the bridges (the optional detail slot
// too when `details`), with `receiver` registered as their receiver and
// `runner` carrying its hand-overs (null: they run inline on the worker's
// thread). `pause`: the 10 ms pause before each extension, which paces the
// window's progress. Take its Control() before Start: it frees itself.
QLVO_Thread_Scan* func_CreateScanWorker(ScanReceiver& receiver, std::shared_ptr<platform::HandOverRunner> runner,
                                        bool pause = true, bool details = false);

// Keeps one outcome call: type 1 in `scanned` (extension -> program path),
// type 2 in `errorScanned` (extension -> empty text), any other type
// nowhere. Two registry names that differ only by blanks around them report
// the same extension twice: the first report stays.
void func_RecordScanOutcome(platform::TextDictionary& scanned, platform::TextDictionary& errorScanned,
                            const std::u16string& extension, const std::u16string& path, int errorType);

// What the scan read of one examined extension.
struct ExaminedExtension {
    std::u16string name;
    std::u16string progId;       // the default value as read; empty when none was read
    std::u16string command;      // the open command as read; empty when none was read
    std::u16string programPath;  // empty when the command gave none
    ExtensionFinding finding = ExtensionFinding::NoDefaultValue;
};

struct ScanRunResult {
    platform::TextDictionary scanned;       // as the window's mpr_dic_FileType_Scaned
    platform::TextDictionary errorScanned;  // as its mpr_dic_Error_FileType_Scaned
    std::vector<ExaminedExtension> examined;  // one per name call, in order
    // HKEY_LOCAL_MACHINE\SOFTWARE\Classes exists but refuses the full access
    // the registry layer asks for, so every key below it read as absent and
    // the scan vouches for nothing (on Windows: a prompt without elevation).
    bool classesRefused = false;
};

// One whole scan of the active target on a worker thread, without the
// pause, the caller waiting for its end. Its receiver is registered for the
// time of the run: not while another scan runs.
ScanRunResult func_RunScan();

}  // namespace quelvo::scan
