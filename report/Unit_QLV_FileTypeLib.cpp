#include "report/Unit_QLV_FileTypeLib.h"

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

bool func_LoadFileTypeLib(const std::filesystem::path& FileName, TextDictionary& Lib)
{
    // Read everything first so that a failure adds nothing.
    LoadFileTypeLibText(platform::ReadTextFile(FileName), Lib);
    return true;
}

}  // namespace quelvo::report
