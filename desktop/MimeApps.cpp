#include "desktop/MimeApps.h"

#include "desktop/DesktopEntry.h"

#include <algorithm>
#include <optional>

namespace quelvo::desktop {

namespace {

constexpr std::string_view kGroups[] = {"Default Applications", "Added Associations", "Removed Associations"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where the value of an entry line lies in its text.
struct ValueSpan {
    std::size_t start = 0, end = 0;
};

ValueSpan SpanOf(const std::string& text)
{
    ValueSpan span;
    span.start = text.find('=') + 1;
    while (span.start < text.size() && IsBlank(text[span.start]))
        ++span.start;
    span.end = text.size();
    while (span.end > span.start && IsBlank(text[span.end - 1]))
        --span.end;
    return span;
}

// The raw items of a list and whether it ends with ";".
std::vector<std::string> Items(std::string_view value, bool* trailing)
{
    std::vector<std::string> items;
    std::string current;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            current += value.substr(i, 2);
            ++i;
        } else if (value[i] == ';') {
            items.push_back(std::move(current));
            current.clear();
        } else {
            current += value[i];
        }
    }
    *trailing = current.empty() && !items.empty();
    if (!current.empty())
        items.push_back(std::move(current));
    return items;
}

std::string Unescaped(const std::string& item)
{
    std::string plain;
    std::string semicolons;
    for (std::size_t i = 0; i < item.size(); ++i) {
        if (item[i] == '\\' && i + 1 < item.size() && item[i + 1] == ';') {
            semicolons += ';';
            ++i;
        } else {
            semicolons += item[i];
        }
    }
    return UnescapeString(semicolons, &plain) ? plain : item;
}

std::string Join(const std::vector<std::string>& items, bool trailing)
{
    std::string value;
    for (std::size_t i = 0; i < items.size(); ++i)
        value += (i ? ";" : "") + items[i];
    if (trailing && !items.empty())
        value += ";";
    return value;
}

std::string Ending(const KeyFileLine& line) { return line.ended ? (line.crlf ? "\r\n" : "\n") : ""; }

std::string TextOf(const KeyFile& file)
{
    std::string text;
    for (const KeyFileLine& line : file.lines)
        text += line.text + Ending(line);
    return text;
}

bool AnyId(const std::vector<std::string>& items)
{
    return std::any_of(items.begin(), items.end(), [](const std::string& item) { return !item.empty(); });
}

KeyFileLine NewLine(std::string text, bool crlf)
{
    KeyFileLine line;
    line.text = std::move(text);
    line.crlf = crlf;
    return line;
}

}  // namespace

bool IsMimeAppsGroup(std::string_view group)
{
    return std::find(std::begin(kGroups), std::end(kGroups), group) != std::end(kGroups);
}

std::vector<std::string> DesktopIdsOf(std::string_view value)
{
    bool trailing = false;
    std::vector<std::string> ids;
    for (const std::string& item : Items(value, &trailing)) {
        if (!item.empty())
            ids.push_back(Unescaped(item));
    }
    return ids;
}

bool RemoveDesktopIds(std::string_view bytes, const std::set<std::string>& ids, std::string* text,
                      std::vector<MimeAppsEdit>* edits)
{
    KeyFile file;
    std::string ignored;
    ParseKeyFile(bytes, &file, &ignored, true);
    edits->clear();
    std::vector<KeyFileLine> kept;
    std::string previous;  // the line before, as the file had it
    for (KeyFileLine& line : file.lines) {
        const std::string original = line.text;
        const auto next = [&] { previous = original; };
        if (line.kind != KeyFileLine::Entry || !IsMimeAppsGroup(line.group)) {
            kept.push_back(std::move(line));
            next();
            continue;
        }
        const ValueSpan span = SpanOf(line.text);
        bool trailing = false;
        std::vector<std::string> items = Items(std::string_view(line.text).substr(span.start, span.end - span.start), &trailing);
        MimeAppsEdit edit;
        const auto stale = [&](const std::string& item) {
            if (item.empty() || !ids.count(Unescaped(item)))
                return false;
            edit.ids.push_back(item);
            return true;
        };
        items.erase(std::remove_if(items.begin(), items.end(), stale), items.end());
        if (edit.ids.empty()) {
            kept.push_back(std::move(line));
            next();
            continue;
        }
        edit.group = line.group;
        edit.key = line.key;
        edit.before = line.text;
        edit.lineRemoved = !AnyId(items);
        edit.previous = previous;
        next();
        if (!edit.lineRemoved) {
            line.text = line.text.substr(0, span.start) + Join(items, trailing) + line.text.substr(span.end);
            edit.after = line.text;
            kept.push_back(std::move(line));
        }
        edits->push_back(std::move(edit));
    }
    if (edits->empty())
        return false;
    file.lines = std::move(kept);
    *text = TextOf(file);
    return true;
}

bool RestoreDesktopIds(std::string_view bytes, const std::vector<MimeAppsEdit>& edits, std::string* text)
{
    KeyFile file;
    std::string ignored;
    ParseKeyFile(bytes, &file, &ignored, true);
    const bool crlf = !file.lines.empty() && file.lines.front().crlf;
    bool changed = false;
    for (const MimeAppsEdit& edit : edits) {
        const auto sameLine = [&](const KeyFileLine& line) {
            return line.kind == KeyFileLine::Entry && line.group == edit.group && line.key == edit.key;
        };
        auto found = std::find_if(file.lines.begin(), file.lines.end(), sameLine);
        if (found != file.lines.end()) {
            const ValueSpan span = SpanOf(found->text);
            bool trailing = false;
            std::vector<std::string> now =
                Items(std::string_view(found->text).substr(span.start, span.end - span.start), &trailing);
            const ValueSpan oldSpan = SpanOf(edit.before);
            bool oldTrailing = false;
            const std::vector<std::string> old =
                Items(std::string_view(edit.before).substr(oldSpan.start, oldSpan.end - oldSpan.start), &oldTrailing);
            // The old order, with the items there now kept and the removed
            // ones (as often as they were removed) back where they stood.
            std::vector<std::string> merged;
            std::vector<bool> used(now.size(), false);
            std::vector<std::string> missing = edit.ids;
            bool added = false;
            for (const std::string& item : old) {
                std::size_t at = 0;
                while (at < now.size() && (used[at] || now[at] != item))
                    ++at;
                const auto removed = std::find(missing.begin(), missing.end(), item);
                if (at < now.size()) {
                    used[at] = true;
                    merged.push_back(item);
                } else if (removed != missing.end()) {
                    missing.erase(removed);
                    merged.push_back(item);
                    added = true;
                }
            }
            for (std::size_t i = 0; i < now.size(); ++i) {
                if (!used[i])
                    merged.push_back(now[i]);
            }
            if (!added)
                continue;
            found->text = found->text.substr(0, span.start) + Join(merged, trailing || oldTrailing)
                + found->text.substr(span.end);
            changed = true;
            continue;
        }
        // The line went: back after the line it followed when that is still
        // in its group, else after the group's last line, else in a new
        // group at the end.
        std::optional<std::size_t> after, afterPrevious;
        for (std::size_t i = 0; i < file.lines.size(); ++i) {
            const KeyFileLine& line = file.lines[i];
            if (line.kind == KeyFileLine::Blank || line.kind == KeyFileLine::Comment || line.group != edit.group)
                continue;
            after = i + 1;
            if (line.text == edit.previous && !afterPrevious)
                afterPrevious = i + 1;
        }
        if (afterPrevious)
            after = afterPrevious;
        if (!file.lines.empty())
            file.lines.back().ended = true;
        if (!after) {
            KeyFileLine header = NewLine("[" + edit.group + "]", crlf);
            header.kind = KeyFileLine::Group;
            header.group = edit.group;
            file.lines.push_back(std::move(header));
            after = file.lines.size();
        }
        KeyFileLine line = NewLine(edit.before, crlf);
        line.kind = KeyFileLine::Entry;
        line.group = edit.group;
        line.key = edit.key;
        file.lines.insert(file.lines.begin() + static_cast<std::ptrdiff_t>(*after), std::move(line));
        changed = true;
    }
    if (!changed)
        return false;
    *text = TextOf(file);
    return true;
}

}  // namespace quelvo::desktop
