#include "ScanCliSupport.h"

#include "ScanCommand.h"

#include "platform/Text.h"

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

}  // namespace quelvo::scancli::test
