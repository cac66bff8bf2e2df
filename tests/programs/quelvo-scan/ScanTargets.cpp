#include "ScanTargets.h"

#include "regfile/SystemRegFile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quelvo::scancli::test {

namespace fs = std::filesystem;

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
        text += "\n" + regfile::FormatKeyHeader(key.path, 1765000000);
        if (key.defaultValue)
            text += "@=\"" + regfile::EscapeWineString(*key.defaultValue, "\"") + "\"\n";
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
    const char* named = std::getenv("QUELVO_SCAN_SANDBOX");
    const fs::path folder = named && *named ? fs::path(named) : fs::path(QUELVO_SCAN_SANDBOX);
    if (!fs::exists(folder / ".quelvo-sandbox"))
        return std::nullopt;
    return folder;
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
