// The scan worker's outcome table on keys created in Wine's real registry,
// run on its own thread over the machine's own target.

#include "RunWorker.h"
#include "tests/support/ScratchKeys.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

using quelvo::test::U16;

using quelvo::test::ScratchKeys;

struct Call {
    std::string kind;  // "start", "name", "outcome", "end"
    std::u16string name{};
    std::u16string path{};
    int type = 0;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call)
{
    return out << call.kind << "(" << std::string(call.name.begin(), call.name.end()) << ", "
               << std::string(call.path.begin(), call.path.end()) << ", " << call.type << ")";
}

// The slots hold plain functions, so the calls land in one recorder.
std::mutex g_mutex;
std::vector<Call> g_calls;

void Record(Call call)
{
    std::lock_guard lock(g_mutex);
    g_calls.push_back(std::move(call));
}

int OnStart()
{
    Record({"start"});
    return 0;
}
int OnName(const char16_t* name)
{
    Record({"name", name});
    return 0;
}
int OnOutcome(const char16_t* name, const char16_t* path, std::int32_t type)
{
    Record({"outcome", name, path, type});
    return 0;
}
int OnEnd()
{
    Record({"end"});
    return 0;
}

std::vector<Call> RunScan()
{
    {
        std::lock_guard lock(g_mutex);
        g_calls.clear();
    }
    EXPECT_TRUE(quelvo::test::RunWorker(OnStart, OnName, OnOutcome, OnEnd, 120000)) << "the scan did not end";
    std::lock_guard lock(g_mutex);
    return g_calls;
}

class WineScanWorker : public ::testing::Test {
protected:
    const std::wstring tag = quelvo::test::UniqueSuffix();  // "quelvotest<pid>"
    const std::wstring classes = L"SOFTWARE\\Classes\\";
    ScratchKeys scratch{Roots()};

    std::vector<std::wstring> Roots() const
    {
        std::vector<std::wstring> roots;
        for (const wchar_t* letter : {L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h", L"i", L"j", L"k", L"l"}) {
            roots.push_back(classes + L"." + tag + letter);
            roots.push_back(classes + L" ." + tag + letter);
            roots.push_back(classes + tag + letter);
            roots.push_back(classes + tag + letter + L"file");
        }
        return roots;
    }

    std::wstring Ext(const wchar_t* letter) const { return L"." + tag + letter; }
    std::wstring ProgId(const wchar_t* letter) const { return tag + letter + L"file"; }

    // An extension key naming a ProgID whose open command is command.
    void Associate(const wchar_t* letter, const std::wstring& command)
    {
        ScratchKeys::SetString(classes + Ext(letter), L"", ProgId(letter));
        ScratchKeys::SetString(classes + ProgId(letter) + L"\\Shell\\Open\\Command", L"", command);
    }

    // The calls that concern this test's keys, in order; the prefix's own
    // extensions are scanned too.
    std::vector<Call> OwnCalls(const std::vector<Call>& calls) const
    {
        std::vector<Call> own;
        for (const Call& call : calls)
            if (call.name.find(U16(tag)) != std::u16string::npos)
                own.push_back(call);
        return own;
    }
};

TEST_F(WineScanWorker, shouldReportEachCaseOfTheOutcomeTable)
{
    ScratchKeys::Create(classes + tag + L"a");                             // A: no leading "."
    ScratchKeys::Create(classes + Ext(L"b"));                              // B: no default value
    ScratchKeys::SetString(classes + Ext(L"c"), L"", L"");                 // C: empty, sub-keys
    ScratchKeys::Create(classes + Ext(L"c") + L"\\OpenWithProgids");
    ScratchKeys::SetString(classes + Ext(L"d"), L"", L"");                 // D: empty, no sub-keys
    ScratchKeys::SetString(classes + Ext(L"e"), L"", ProgId(L"e"));        // E: missing ProgID, sub-keys
    ScratchKeys::Create(classes + Ext(L"e") + L"\\ShellNew");
    ScratchKeys::SetString(classes + Ext(L"f"), L"", ProgId(L"f"));        // F: missing ProgID, no sub-keys
    ScratchKeys::SetString(classes + Ext(L"g"), L"", ProgId(L"g"));        // G: no open command key
    ScratchKeys::Create(classes + ProgId(L"g") + L"\\Shell\\Open");
    ScratchKeys::SetString(classes + Ext(L"h"), L"", ProgId(L"h"));        // H: command without value
    ScratchKeys::Create(classes + ProgId(L"h") + L"\\Shell\\Open\\Command");
    Associate(L"i", L"notepad.exe %1");                                    // I: no ":\"
    Associate(L"j", L"%SystemRoot%\\system32\\NOTEPAD.EXE %1");            // J
    Associate(L"k", L"\"%ProgramFiles%\\Quelvo Absent\\app.exe\" \"%1\""); // J: the file need not exist

    const std::vector<Call> calls = RunScan();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front(), Call{"start"});
    EXPECT_EQ(calls.back(), Call{"end"});

    const auto ext = [&](const wchar_t* letter) { return U16(Ext(letter)); };
    const std::vector<Call> expected = {
        {"name", ext(L"b")},
        {"name", ext(L"c")},
        {"name", ext(L"d")},
        {"outcome", ext(L"d"), u"", 2},
        {"name", ext(L"e")},
        {"name", ext(L"f")},
        {"outcome", ext(L"f"), u"", 2},
        {"name", ext(L"g")},
        {"name", ext(L"h")},
        {"name", ext(L"i")},
        {"name", ext(L"j")},
        {"outcome", ext(L"j"), u"C:\\windows\\system32\\NOTEPAD.EXE", 1},
        {"name", ext(L"k")},
        {"outcome", ext(L"k"), u"C:\\Program Files\\Quelvo Absent\\app.exe", 1},
    };
    EXPECT_EQ(OwnCalls(calls), expected);
}

// Keys that exist but do not open count as absent.
TEST_F(WineScanWorker, shouldTakeKeysThatDoNotOpenAsAbsent)
{
    quelvo::test::LinkGuard extension(classes + Ext(L"a"));              // B
    ScratchKeys::SetString(classes + Ext(L"b"), L"", ProgId(L"b"));      // F
    quelvo::test::LinkGuard progId(classes + ProgId(L"b"));
    ScratchKeys::SetString(classes + Ext(L"c"), L"", ProgId(L"c"));      // G
    quelvo::test::LinkGuard command(classes + ProgId(L"c") + L"\\Shell\\Open\\Command");

    const auto ext = [&](const wchar_t* letter) { return U16(Ext(letter)); };
    EXPECT_EQ(OwnCalls(RunScan()), (std::vector<Call>{{"name", ext(L"a")},
                                                      {"name", ext(L"b")},
                                                      {"outcome", ext(L"b"), u"", 2},
                                                      {"name", ext(L"c")}}));
}

TEST_F(WineScanWorker, shouldExamineNamesDifferingOnlyBySpacesTwiceUnderTheTrimmedName)
{
    Associate(L"l", L"C:\\windows\\notepad.exe %1");
    ScratchKeys::Create(classes + L" " + Ext(L"l"));
    const std::u16string name = U16(Ext(L"l"));
    const Call outcome{"outcome", name, u"C:\\windows\\notepad.exe", 1};
    EXPECT_EQ(OwnCalls(RunScan()), (std::vector<Call>{{"name", name}, outcome, {"name", name}, outcome}));
}

TEST_F(WineScanWorker, shouldReportTheLongFormOfAShortCommandPath)
{
    std::array<wchar_t, MAX_PATH + 1> temp{};
    ASSERT_GT(GetTempPathW(static_cast<DWORD>(temp.size()), temp.data()), 0u);
    std::array<wchar_t, 4096> longTemp{};
    ASSERT_GT(GetLongPathNameW(temp.data(), longTemp.data(), static_cast<DWORD>(longTemp.size())), 0u);
    const std::filesystem::path folder = std::filesystem::path(longTemp.data()) / (L"Quelvo Long Program " + tag);
    std::filesystem::create_directories(folder);
    const std::filesystem::path program = folder / L"Long Program Name.exe";
    std::ofstream(program) << "MZ";
    std::array<wchar_t, 4096> shortPath{};
    ASSERT_GT(GetShortPathNameW(program.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size())), 0u);
    ASSERT_NE(std::wstring(shortPath.data()).find(L'~'), std::wstring::npos);

    Associate(L"a", std::wstring(shortPath.data()) + L" /open %1");
    Associate(L"b", folder.wstring() + L"\\MISSIN~1.EXE /open %1");
    const std::vector<Call> calls = OwnCalls(RunScan());
    std::filesystem::remove_all(folder);

    const std::u16string a = U16(Ext(L"a"));
    const std::u16string b = U16(Ext(L"b"));
    EXPECT_EQ(calls, (std::vector<Call>{{"name", a}, {"outcome", a, U16(program.wstring()), 1}, {"name", b}}));
}

}  // namespace
