// quelvo-scan: the check and the repair of the window, from a command line
// (ScanCommand.h). An unexpected failure is a message and exit status 3:
// the target was not checked completely.

#include "ScanCommand.h"

#include "platform/Text.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path ProgramDir(const char* argv0)
{
    std::error_code ec;
#ifdef _WIN32
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length > 0 && length < path.size()) {
        path.resize(length);
        return fs::path(path).parent_path();
    }
#else
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self.parent_path();
#endif
    return fs::absolute(argv0, ec).parent_path();
}

// The words after the program's name, in UTF-8 (on Windows from the UTF-16
// command line, not the ANSI code page).
std::vector<std::string> Arguments(int argc, char** argv)
{
#ifdef _WIN32
    (void)argc;
    (void)argv;
    std::vector<std::string> args;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i) {
            const std::wstring word(words[i]);
            args.push_back(quelvo::platform::ToUtf8(std::u16string(word.begin(), word.end())));
        }
        LocalFree(words);
    }
    return args;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return quelvo::scancli::RunScanCommand(Arguments(argc, argv), std::cout, std::cerr,
                                               ProgramDir(argc > 0 ? argv[0] : "quelvo-scan"));
    } catch (const std::bad_alloc&) {
        std::cerr << "quelvo-scan: not enough memory to finish the check\n";
    } catch (const std::exception& e) {
        std::cerr << "quelvo-scan: the check failed: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "quelvo-scan: the check failed\n";
    }
    return 3;
}
