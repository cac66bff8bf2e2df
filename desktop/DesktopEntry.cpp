#include "desktop/DesktopEntry.h"

namespace quelvo::desktop {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A key: letters, digits and "-" (the desktops accept a few more, and so do
// we: anything but blanks, "=" and brackets), then an optional "[locale]".
bool IsKey(std::string_view key)
{
    if (key.empty())
        return false;
    const std::size_t open = key.find('[');
    const std::string_view name = key.substr(0, open);
    if (name.empty())
        return false;
    for (char c : name) {
        if (IsBlank(c) || c == '=' || c == ']' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    if (open == std::string_view::npos)
        return true;
    const std::string_view locale = key.substr(open + 1);
    return locale.size() >= 2 && locale.back() == ']' && locale.find_first_of("[]") == locale.size() - 1;
}

std::string LineNumber(std::size_t n) { return "line " + std::to_string(n); }

}  // namespace

bool IsUtf8Text(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == 0)
            return false;
        if (b < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= bytes.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        const bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::optional<std::string> KeyFile::Raw(std::string_view group, std::string_view key) const
{
    std::optional<std::string> found;
    for (const KeyFileLine& line : lines) {
        if (line.kind == KeyFileLine::Entry && line.group == group && line.key == key)
            found = line.value;
    }
    return found;
}

std::size_t KeyFile::Count(std::string_view group, std::string_view key) const
{
    std::size_t count = 0;
    for (const KeyFileLine& line : lines)
        count += line.kind == KeyFileLine::Entry && line.group == group && line.key == key;
    return count;
}

bool ParseKeyFile(std::string_view bytes, KeyFile* file, std::string* error, bool lenient)
{
    file->lines.clear();
    if (!lenient && !IsUtf8Text(bytes)) {
        *error = "it is not UTF-8 text";
        return false;
    }
    std::string group;
    std::size_t number = 0;
    while (!bytes.empty()) {
        ++number;
        KeyFileLine line;
        const std::size_t end = bytes.find('\n');
        std::string_view text = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        line.ended = end != std::string_view::npos;
        if (line.ended && !text.empty() && text.back() == '\r') {
            line.crlf = true;
            text.remove_suffix(1);
        }
        line.text = text;
        const std::string_view content = Trim(text);
        if (content.empty()) {
            line.kind = KeyFileLine::Blank;
        } else if (content.front() == '#') {
            line.kind = KeyFileLine::Comment;
        } else if (content.front() == '[') {
            if (content.back() != ']' || content.size() < 3
                || content.substr(1, content.size() - 2).find_first_of("[]") != std::string_view::npos) {
                if (!lenient) {
                    *error = LineNumber(number) + " is not a well-formed group header";
                    return false;
                }
                line.kind = KeyFileLine::Other;
                line.group = group;
            } else {
                line.kind = KeyFileLine::Group;
                group = content.substr(1, content.size() - 2);
                line.group = group;
            }
        } else {
            const std::size_t equals = content.find('=');
            const std::string_view key = equals == std::string_view::npos ? content : Trim(content.substr(0, equals));
            const char* problem = equals == std::string_view::npos || !IsKey(key) ? " is neither a group, a key nor a comment"
                : group.empty()                                                 ? " holds a key before any group"
                                                                                : nullptr;
            if (problem && !lenient) {
                *error = LineNumber(number) + problem;
                return false;
            }
            if (problem) {
                line.kind = KeyFileLine::Other;
                line.group = group;
                file->lines.push_back(std::move(line));
                continue;
            }
            line.kind = KeyFileLine::Entry;
            line.group = group;
            line.key = key;
            std::string_view value = content.substr(equals + 1);
            while (!value.empty() && IsBlank(value.front()))
                value.remove_prefix(1);
            line.value = value;
        }
        file->lines.push_back(std::move(line));
    }
    return true;
}

bool UnescapeString(std::string_view raw, std::string* value)
{
    value->clear();
    value->reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            value->push_back(raw[i]);
            continue;
        }
        if (++i == raw.size())
            return false;
        switch (raw[i]) {
        case 's': value->push_back(' '); break;
        case 'n': value->push_back('\n'); break;
        case 't': value->push_back('\t'); break;
        case 'r': value->push_back('\r'); break;
        case '\\': value->push_back('\\'); break;
        default: return false;
        }
    }
    return true;
}

bool SplitExec(std::string_view value, std::vector<std::string>* arguments, std::string* error)
{
    arguments->clear();
    std::string current;
    bool inWord = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                arguments->push_back(std::move(current));
            current.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (++i == value.size()) {
                *error = "it ends with an escape character";
                return false;
            }
            if (value[i] != '\n')
                current.push_back(value[i]);
        } else if (c == '\'') {
            const std::size_t close = value.find('\'', i + 1);
            if (close == std::string_view::npos) {
                *error = "a single quote is not closed";
                return false;
            }
            current.append(value.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '"') {
            bool closed = false;
            for (++i; i < value.size(); ++i) {
                if (value[i] == '"') {
                    closed = true;
                    break;
                }
                if (value[i] == '\\' && i + 1 < value.size()
                    && std::string_view("\"`$\\\n").find(value[i + 1]) != std::string_view::npos) {
                    if (value[++i] != '\n')
                        current.push_back(value[i]);
                    continue;
                }
                current.push_back(value[i]);
            }
            if (!closed) {
                *error = "a double quote is not closed";
                return false;
            }
        } else {
            current.push_back(c);
        }
    }
    if (inWord)
        arguments->push_back(std::move(current));
    return true;
}

}  // namespace quelvo::desktop
