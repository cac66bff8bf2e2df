#include "scan/Unit_QLV_Thread.h"

#include "ScanFixture.h"

#include "platform/Text.h"

#include <mutex>
#include <stdexcept>

namespace {

using namespace quelvo::scan;
using quelvo::platform::ToUtf8;

// The slots take plain function pointers, so what they see is kept here.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> calls;
    QLVO_Thread_Scan* thread = nullptr;
    int terminateAtName = 0;  // asks the worker to stop at this name call (1-based)
    int throwAtName = 0;
    int names = 0;

    void Add(std::string call)
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(call));
    }
};
Recorder* g_recorder = nullptr;

int OnStart()
{
    g_recorder->Add("start");
    return 0;
}
int OnName(const char16_t* name)
{
    g_recorder->Add("name " + ToUtf8(name));
    ++g_recorder->names;
    if (g_recorder->names == g_recorder->terminateAtName)
        g_recorder->thread->Terminate();
    if (g_recorder->names == g_recorder->throwAtName)
        throw std::runtime_error("receiver failed");
    return 0;
}
int OnInfo(const char16_t* name, const char16_t* path, std::int32_t type)
{
    g_recorder->Add("info " + ToUtf8(name) + "|" + ToUtf8(path) + "|" + std::to_string(type));
    return 0;
}
int OnDetail(const char16_t* name, const char16_t* progId, const char16_t* command, const char16_t* path,
             std::int32_t finding)
{
    g_recorder->Add("detail " + ToUtf8(name) + "|" + ToUtf8(progId) + "|" + ToUtf8(command) + "|" + ToUtf8(path) +
                    "|" + std::to_string(finding));
    return 0;
}
int OnEnd()
{
    g_recorder->Add("end");
    return 0;
}

using quelvo::platform::MemoryRegistry;

void Extension(MemoryRegistry& registry, std::u16string_view name, std::optional<std::u16string_view> defaultValue)
{
    const std::u16string key = u"SOFTWARE\\Classes\\" + std::u16string(name);
    registry.CreateKey(key);
    if (defaultValue)
        registry.SetString(key, u"", *defaultValue);
}

void Command(MemoryRegistry& registry, std::u16string_view progId, std::u16string_view command)
{
    registry.SetString(u"SOFTWARE\\Classes\\" + std::u16string(progId) + u"\\shell\\open\\command", u"", command);
}

class ScanWorker : public quelvo::scan::testing::ScanFixture {
protected:
    void SetUp() override
    {
        ScanFixture::SetUp();
        g_recorder = &recorder;
    }
    void TearDown() override
    {
        g_recorder = nullptr;
        ScanFixture::TearDown();
    }

    // Runs one scan on its own thread and returns the calls it made.
    std::vector<std::string> Scan(bool details = false)
    {
        auto* worker = new QLVO_Thread_Scan;
        if (details)
            worker->mpu_dword_cb_QV_Detail = OnDetail;
        worker->mpu_dword_cb_QV_GetExeName = OnName;
        worker->mpu_dword_cb_QV_Start = OnStart;
        worker->mpu_dword_cb_QV_End = OnEnd;
        worker->mpu_dword_cb_QV_ExeInfo = OnInfo;
        recorder.thread = worker;
        auto completion = worker->Completion();
        worker->Start();
        EXPECT_TRUE(completion->WaitFor(10000));
        std::lock_guard lock(recorder.mutex);
        return recorder.calls;
    }

    void Extension(std::u16string_view name, std::optional<std::u16string_view> defaultValue)
    {
        ::Extension(registry, name, defaultValue);
    }
    void Command(std::u16string_view progId, std::u16string_view command) { ::Command(registry, progId, command); }

    Recorder recorder;
};

using Calls = std::vector<std::string>;

TEST_F(ScanWorker, shouldOnlyStartAndEndWithoutAClassesBranch)
{
    EXPECT_EQ(Scan(), (Calls{"start", "end"}));
}

TEST_F(ScanWorker, shouldOnlyStartAndEndWithAnEmptyOrRefusedClassesBranch)
{
    registry.CreateKey(u"SOFTWARE\\Classes");
    EXPECT_EQ(Scan(), (Calls{"start", "end"}));
    recorder.calls.clear();
    Extension(u".abc", u"");
    registry.SetRefusesFullAccess(u"SOFTWARE\\Classes", true);
    EXPECT_EQ(Scan(), (Calls{"start", "end"}));
}

// One extension ".abc" per row, set up as the row says.
struct OutcomeCase {
    const char* name;
    std::function<void(MemoryRegistry&)> setUp;
    Calls expected;
    // What the optional detail slot is told: file type, command, path and
    // the ExtensionFinding of the case (none for names not examined).
    const char* detail = nullptr;
};

class ScanOutcome : public ScanWorker, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(ScanOutcome, shouldMakeTheCallsOfItsCase)
{
    GetParam().setUp(registry);
    Calls expected{"start"};
    expected.insert(expected.end(), GetParam().expected.begin(), GetParam().expected.end());
    expected.push_back("end");
    EXPECT_EQ(Scan(), expected);
}

TEST_P(ScanOutcome, shouldHandOutWhatItReadAfterTheCallsOfItsCase)
{
    GetParam().setUp(registry);
    Calls expected{"start"};
    expected.insert(expected.end(), GetParam().expected.begin(), GetParam().expected.end());
    if (GetParam().detail)
        expected.push_back(std::string("detail .abc|") + GetParam().detail);
    expected.push_back("end");
    EXPECT_EQ(Scan(true), expected);
}

const Calls kNameOnly{"name .abc"};
const Calls kBroken{"name .abc", "info .abc||2"};

INSTANTIATE_TEST_SUITE_P(
    Cases, ScanOutcome,
    ::testing::Values(
        OutcomeCase{"A_notAnExtension",
                    [](MemoryRegistry& r) {
                        r.CreateKey(u"SOFTWARE\\Classes\\txtfile");
                        r.CreateKey(u"SOFTWARE\\Classes\\CLSID");
                    },
                    {}},
        OutcomeCase{"B_noDefaultValue", [](MemoryRegistry& r) { Extension(r, u".abc", std::nullopt); }, kNameOnly,
                    "|||1"},
        OutcomeCase{"B_extensionKeyRefused",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"");
                        r.SetRefusesFullAccess(u"SOFTWARE\\Classes\\.abc", true);
                    },
                    kNameOnly,
                    "|||1"},
        OutcomeCase{"C_emptyDefaultWithSubKeys",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"");
                        r.CreateKey(u"SOFTWARE\\Classes\\.abc\\OpenWithProgids");
                    },
                    kNameOnly,
                    "|||2"},
        OutcomeCase{"D_emptyDefaultWithoutSubKeys", [](MemoryRegistry& r) { Extension(r, u".abc", u""); }, kBroken,
                    "|||3"},
        OutcomeCase{"E_missingProgIdWithSubKeys",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        r.CreateKey(u"SOFTWARE\\Classes\\.abc\\ShellNew");
                    },
                    kNameOnly,
                    "abcfile|||4"},
        OutcomeCase{"F_missingProgIdWithoutSubKeys", [](MemoryRegistry& r) { Extension(r, u".abc", u"abcfile"); },
                    kBroken,
                    "abcfile|||5"},
        OutcomeCase{"F_progIdRefused",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        Command(r, u"abcfile", u"C:\\x.exe");
                        r.SetRefusesFullAccess(u"SOFTWARE\\Classes\\abcfile", true);
                    },
                    kBroken,
                    "abcfile|||5"},
        OutcomeCase{"F_progIdNotTrimmed",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u" abcfile");
                        Command(r, u"abcfile", u"C:\\x.exe");
                    },
                    kBroken,
                    " abcfile|||5"},
        OutcomeCase{"G_noOpenCommandKey",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        r.CreateKey(u"SOFTWARE\\Classes\\abcfile\\shell\\edit\\command");
                    },
                    kNameOnly,
                    "abcfile|||6"},
        OutcomeCase{"H_commandWithoutDefaultValue",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        r.CreateKey(u"SOFTWARE\\Classes\\abcfile\\Shell\\Open\\Command");
                    },
                    kNameOnly,
                    "abcfile|||7"},
        OutcomeCase{"H_emptyCommand",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        Command(r, u"abcfile", u"");
                    },
                    kNameOnly,
                    "abcfile|||7"},
        OutcomeCase{"I_noUsablePath",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        Command(r, u"abcfile", u"notepad.exe %1");
                    },
                    kNameOnly,
                    "abcfile|notepad.exe %1||8"},
        OutcomeCase{"J_pathFound",
                    [](MemoryRegistry& r) {
                        Extension(r, u".abc", u"abcfile");
                        Command(r, u"abcfile", u"%SystemRoot%\\system32\\NOTEPAD.EXE %1");
                    },
                    {"name .abc", "info .abc|C:\\Windows\\system32\\NOTEPAD.EXE|1"},
                    "abcfile|%SystemRoot%\\system32\\NOTEPAD.EXE %1|C:\\Windows\\system32\\NOTEPAD.EXE|9"}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) { return std::string(info.param.name); });

TEST_F(ScanWorker, shouldReportInEnumerationOrderWithEachOutcomeAfterItsName)
{
    Extension(u".zip", u"");                    // D
    Extension(u".abc", u"abcfile");             // J
    Extension(u".abc ", u"ignored");            // the same key once trimmed
    Extension(u".Doc", std::nullopt);           // B
    Extension(u"abcfile", std::nullopt);
    Command(u"abcfile", u"\"C:\\Program Files\\Abc\\abc.exe\" \"%1\"");
    EXPECT_EQ(Scan(), (Calls{"start",
                             "name .abc", "info .abc|C:\\Program Files\\Abc\\abc.exe|1",
                             "name .abc", "info .abc|C:\\Program Files\\Abc\\abc.exe|1",
                             "name .Doc",
                             "name .zip", "info .zip||2",
                             "end"}));
}

TEST_F(ScanWorker, shouldStopBetweenExtensionsWhenTerminatedAndStillEnd)
{
    for (auto name : {u".a", u".b", u".c", u".d"})
        Extension(name, u"");
    recorder.terminateAtName = 2;
    EXPECT_EQ(Scan(), (Calls{"start", "name .a", "info .a||2", "name .b", "info .b||2", "end"}));
}

TEST_F(ScanWorker, shouldStillEndWhenACallbackThrows)
{
    for (auto name : {u".a", u".b"})
        Extension(name, u"");
    recorder.throwAtName = 1;
    EXPECT_EQ(Scan(), (Calls{"start", "name .a", "end"}));
}

TEST_F(ScanWorker, shouldSkipUnsetSlots)
{
    Extension(u".a", u"");
    auto* worker = new QLVO_Thread_Scan;
    worker->mpu_dword_cb_QV_End = OnEnd;
    auto completion = worker->Completion();
    EXPECT_TRUE(worker->FreeOnTerminate());
    worker->Start();
    ASSERT_TRUE(completion->WaitFor(10000));
    EXPECT_EQ(recorder.calls, Calls{"end"});
}

}  // namespace
