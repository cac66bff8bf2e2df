// A stand-in for the desktop's web browser under Wine: registered as the
// handler of http and https addresses, it appends one line to the file named
// by QUELVO_OPEN_RECORD (else C:\opened.txt): the program that started it,
// then the address, in UTF-8. Who started it tells whether an address was
// opened by the desktop's shell or by the program itself.

#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <string>

namespace {

// The executable name and parent of a process; empty when it is gone.
std::wstring ProcessName(DWORD pid, DWORD* parent)
{
    std::wstring name;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return name;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == pid) {
            name = entry.szExeFile;
            if (parent)
                *parent = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snapshot);
    return name;
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    DWORD parent = 0;
    ProcessName(GetCurrentProcessId(), &parent);
    const std::wstring starter = ProcessName(parent, nullptr);
    wchar_t path[MAX_PATH] = L"C:\\opened.txt";
    GetEnvironmentVariableW(L"QUELVO_OPEN_RECORD", path, MAX_PATH);
    FILE* out = _wfopen(path, L"ab");
    if (!out)
        return 1;
    const std::string line = Utf8(starter) + " " + Utf8(argc > 1 ? argv[1] : L"") + "\n";
    std::fwrite(line.data(), 1, line.size(), out);
    std::fclose(out);
    return 0;
}
