#include "scan/Unit_QLV_ScanRun.h"

#include "platform/Target.h"
#include "platform/Thread.h"

namespace quelvo::scan {

namespace pf = quelvo::platform;

QLVO_Thread_Scan* func_CreateScanWorker(ScanReceiver& receiver, std::shared_ptr<pf::HandOverRunner> runner,
                                        bool pause, bool details)
{
    func_SetScanReceiver(&receiver);
    auto* worker = new QLVO_Thread_Scan();
    worker->mpu_dword_cb_QV_ExeInfo = &cbgui_QV_ExeInfo;
    worker->mpu_dword_cb_QV_GetExeName = &cbgui_QV_GetExeName;
    worker->mpu_dword_cb_QV_Start = &cbgui_QV_Start;
    worker->mpu_dword_cb_QV_End = &cbgui_QV_End;
    if (details)
        worker->mpu_dword_cb_QV_Detail = &cbgui_QV_Detail;
    worker->SetExtensionPause(pause);
    if (runner)
        worker->SetHandOverRunner(std::move(runner));
    return worker;
}

void func_RecordScanOutcome(pf::TextDictionary& scanned, pf::TextDictionary& errorScanned,
                            const std::u16string& extension, const std::u16string& path, int errorType)
{
    if (errorType == 1)
        scanned.TryAdd(extension, path);
    else if (errorType == 2)
        errorScanned.TryAdd(extension, path);
}

namespace {

// Written on the worker's thread; read by the caller only after the
// worker's end has been signalled.
class Collector final : public ScanReceiver {
public:
    explicit Collector(ScanRunResult& result) : m_result(result) {}
    void pro_cb_QV_Start() override {}
    void pro_cb_QV_Scan_ExeName(const std::u16string&) override {}
    void pro_cb_QV_Scan_ExeInfo(const std::u16string& name, const std::u16string& path, int type) override
    {
        func_RecordScanOutcome(m_result.scanned, m_result.errorScanned, name, path, type);
    }
    void pro_cb_QV_Scan_Detail(const std::u16string& name, const std::u16string& progId,
                               const std::u16string& command, const std::u16string& path, int finding) override
    {
        m_result.examined.push_back(
            ExaminedExtension{name, progId, command, path, static_cast<ExtensionFinding>(finding)});
    }
    void pro_cb_QV_End() override {}

private:
    ScanRunResult& m_result;
};

bool ClassesRefused()
{
    pf::RegistryStore& store = pf::ActiveTarget().Registry();
    pf::RegHandle key{};
    const pf::RegStatus status = store.OpenKey(pf::HKEY_LOCAL_MACHINE, u"SOFTWARE\\Classes", pf::KEY_ALL_ACCESS, &key);
    if (status == pf::kSuccess)
        store.CloseKey(key);
    return status == pf::kAccessDenied;
}

}  // namespace

ScanRunResult func_RunScan()
{
    ScanRunResult result;
    Collector collector(result);
    ScanReceiver* previous = func_ScanReceiver();
    QLVO_Thread_Scan* worker = func_CreateScanWorker(collector, nullptr, false, true);
    const auto control = worker->Control();
    worker->Start();
    control->Wait();
    func_SetScanReceiver(previous);
    result.classesRefused = ClassesRefused();
    return result;
}

}  // namespace quelvo::scan
