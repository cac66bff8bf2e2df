#include "report/Unit_QLV_FileTypeLib.h"

#include "platform/DataDir.h"
#include "platform/Text.h"
#include "platform/TextFile.h"

namespace quelvo::report {

using platform::TextDictionary;

namespace {

// Calls onLine for every line; a line end at the very end adds no empty line.
template<typename OnLine>
void ForEachLine(std::u16string_view text, OnLine onLine)
{
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) {
            onLine(text.substr(start));
            return;
        }
        onLine(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == u'\r' && start < text.size() && text[start] == u'\n')
            ++start;
    }
}

}  // namespace

void LoadFileTypeLibText(std::u16string_view text, TextDictionary& Lib)
{
    std::u16string group;
    std::u16string key;
    ForEachLine(platform::UpToNul(text), [&](std::u16string_view line) {
        if (line.empty())
            return;
        if (line.find(u"==") != std::u16string_view::npos) {
            group = platform::TrimBlanks(platform::ReplaceAll(line, u"==", u" "));
            return;
        }
        key.assign(1, u'.');
        key.append(line);
        Lib.TryAdd(key, group);
    });
}

std::optional<std::u16string> func_LibraryFileProblem(const std::filesystem::path& FileName)
{
    namespace fs = std::filesystem;
    const auto shown = [](const fs::path& path) {
        fs::path preferred = path;
        return u"\"" + preferred.make_preferred().u16string() + u"\"";
    };
    const auto message = [&](std::u16string_view what) {
        return u"The file type library " + shown(FileName) + u" " + std::u16string(what);
    };

    std::error_code error;
    const fs::file_status status = fs::status(FileName, error);
    if (status.type() == fs::file_type::not_found) {
        std::error_code ignored;
        if (fs::is_symlink(fs::symlink_status(FileName, ignored)))
            return message(u"is missing: it is a link to a file that does not exist");
        const fs::path folder = FileName.parent_path();
        const fs::file_type folderType =
            folder.empty() ? fs::file_type::directory : fs::status(folder, ignored).type();
        if (error == std::errc::not_a_directory
            || (folderType != fs::file_type::directory && folderType != fs::file_type::not_found
                && folderType != fs::file_type::none))
            return message(u"is missing: a part of its folder path is a file, not a folder");
        if (folderType == fs::file_type::not_found)
            return message(u"is missing: its folder " + shown(folder) + u" does not exist");
        return message(u"is missing: no such file");
    }
    if (error) {
        // The name could not be looked up at all: a folder on the way refuses it.
        const std::u16string reason = platform::FromUtf8(error.message());
        if (error == std::errc::permission_denied)
            return message(u"cannot be reached: a folder on its path cannot be read (" + reason + u")");
        return message(u"cannot be reached: " + reason);
    }
    if (status.type() == fs::file_type::directory)
        return message(u"is not a file: it is a folder");
    if (status.type() != fs::file_type::regular)
        return message(u"is not a file: it is a device, pipe or socket");
    try {
        platform::ReadTextFile(FileName);
    } catch (const platform::TextFileError& e) {
        return message(u"cannot be read: " + platform::FromUtf8(e.Reason()));
    }
    return std::nullopt;
}

bool func_LoadFileTypeLib(const std::filesystem::path& FileName, TextDictionary& Lib)
{
    // Read everything first so that a failure adds nothing.
    LoadFileTypeLibText(platform::ReadTextFile(FileName), Lib);
    return true;
}

std::u16string func_LibraryPathFor(std::u16string_view appDir)
{
    return platform::func_DataDirFor(appDir, kFileTypeLibName) + std::u16string(kFileTypeLibName);
}

std::optional<std::u16string> func_LoadLibraryOnce(const std::filesystem::path& FileName, TextDictionary& Lib)
{
    if (auto problem = func_LibraryFileProblem(FileName))
        return problem;
    if (Lib.Empty()) {
        try {
            func_LoadFileTypeLib(FileName, Lib);
        } catch (const platform::TextFileError& e) {
            return platform::FromUtf8(e.what());
        }
    }
    return std::nullopt;
}

}  // namespace quelvo::report
