#include "ScanCliSupport.h"

#include "ScanCommand.h"

#include "platform/Text.h"
#include "platform/files/SystemRegFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quelvo::scancli::test {

namespace fs = std::filesystem;

namespace {

void KeepReport(const std::vector<std::string>& args, const std::string& out)
{
    const char* folder = std::getenv("QUELVO_SCAN_REPORTS");
    const bool json = std::find(args.begin(), args.end(), "json") != args.end();
    const bool lines = std::find(args.begin(), args.end(), "jsonl") != args.end();
    if (!folder || !*folder || (!json && !lines) || out.empty())
        return;
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info ? info->test_suite_name() : "run") + "." + (info ? info->name() : "")
        + "-" + std::to_string(counter++) + (lines ? ".jsonl" : ".json");
    std::replace(name.begin(), name.end(), '/', '_');
    fs::create_directories(folder);
    std::ofstream(fs::path(folder) / name, std::ios::binary) << out;
}

}  // namespace

CommandRun RunScan(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    CommandRun run;
    run.status = RunScanCommand(args, out, err, QUELVO_SCAN_PROGRAM_DIR);
    run.out = out.str();
    run.err = err.str();
    KeepReport(args, run.out);
    return run;
}

nlohmann::json ParseJson(const std::string& text)
{
    try {
        return nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        ADD_FAILURE() << "not JSON: " << e.what() << "\n" << text.substr(0, 2000);
        return nlohmann::json();
    }
}

std::vector<nlohmann::json> ParseJsonLines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(ParseJson(line));
    return lines;
}

std::u16string ReportText(const nlohmann::json& object, const std::string& key)
{
    if (object.contains("utf16") && object["utf16"].contains(key)) {
        const std::string hex = object["utf16"][key].get<std::string>();
        std::u16string units;
        for (std::size_t i = 0; i + 4 <= hex.size(); i += 4)
            units += char16_t(std::stoul(hex.substr(i, 4), nullptr, 16));
        return units;
    }
    return platform::FromUtf8(object.at(key).get<std::string>());
}

const nlohmann::json* Extension(const nlohmann::json& document, std::u16string_view name)
{
    for (const auto& entry : document.at("extensions"))
        if (ReportText(entry, "name") == name)
            return &entry;
    return nullptr;
}

PrefixKey ClassesKey(std::u16string name, std::optional<std::u16string> defaultValue)
{
    return PrefixKey{{u"Software", u"Classes", std::move(name)}, std::move(defaultValue)};
}

fs::path WritePrefix(const fs::path& folder, const std::vector<PrefixKey>& keys)
{
    fs::create_directories(folder / "drive_c" / "windows");
    fs::create_directories(folder / "dosdevices");
    std::error_code ec;
    fs::create_directory_symlink("../drive_c", folder / "dosdevices" / "c:", ec);
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    for (const PrefixKey& key : keys) {
        text += "\n" + platform::files::FormatKeyHeader(key.path, 1765000000);
        if (key.defaultValue)
            text += "@=\"" + platform::files::EscapeWineString(*key.defaultValue, "\"") + "\"\n";
    }
    std::ofstream(folder / "system.reg", std::ios::binary) << text;
    return folder;
}

fs::path LightPrefixCopy(const fs::path& prefix, const fs::path& into)
{
    fs::create_directories(into / "dosdevices");
    for (const char* file : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"})
        if (fs::exists(prefix / file))
            fs::copy_file(prefix / file, into / file, fs::copy_options::overwrite_existing);
    for (const auto& entry : fs::directory_iterator(prefix / "dosdevices")) {
        if (!entry.is_symlink())
            continue;
        std::error_code ec;
        const fs::path resolved = fs::canonical(entry.path(), ec);
        if (!ec)
            fs::create_directory_symlink(resolved, into / "dosdevices" / entry.path().filename(), ec);
    }
    return into;
}

std::optional<fs::path> SandboxPrefix()
{
    const char* folder = std::getenv("QUELVO_SCAN_SANDBOX");
    if (!folder || !*folder || !fs::exists(fs::path(folder) / ".quelvo-sandbox"))
        return std::nullopt;
    return fs::path(folder);
}

std::vector<std::pair<std::string, std::string>> FolderBytes(const fs::path& folder)
{
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.is_symlink())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files.emplace_back(fs::relative(entry.path(), folder).string(), bytes.str());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace quelvo::scancli::test
