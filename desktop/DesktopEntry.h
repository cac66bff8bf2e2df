#pragma once

// Desktop Entry files (the key files of applications/*.desktop): reading
// them line by line, unescaping their string values and splitting an Exec
// value into its arguments.
//
// | Call             | Answers                                                                     |
// |------------------|-----------------------------------------------------------------------------|
// | ParseKeyFile     | every line in order (group, key/value, comment, blank); false and a reason  |
// |                  | for text that is not UTF-8, holds a NUL, or has a line that is none of those |
// | UnescapeString   | the value with \s \n \t \r \\ replaced; false for any other escape or a     |
// |                  | backslash at the end (the desktops refuse such a value)                     |
// | SplitExec        | the arguments of an unescaped Exec value, quoted as the desktops quote it:  |
// |                  | inside double quotes a backslash escapes " ` $ \ only; outside quotes it    |
// |                  | escapes the next character and single quotes take everything literally;     |
// |                  | blanks separate arguments. False for an unterminated quote or escape        |
//
// Every call is bounded by its input; none throws for malformed text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::desktop {

struct KeyFileLine {
    // Other: a line none of the others (kept only by a lenient read).
    enum Kind { Blank, Comment, Group, Entry, Other } kind = Blank;
    std::string text;   // the line as written, without its line end
    std::string group;  // Group: its name; Entry: the group it is in (empty before the first)
    std::string key;    // Entry: the key, locale included ("Name[de]")
    std::string value;  // Entry: the raw value, spaces after "=" removed
    bool crlf = false;  // the line ended with "\r\n"
    bool ended = true;  // the line had a line end (false only for the last)
};

struct KeyFile {
    std::vector<KeyFileLine> lines;

    // The raw value of the last entry named `key` in `group` (the one the
    // desktops use), or none.
    std::optional<std::string> Raw(std::string_view group, std::string_view key) const;
    // The number of entries named `key` in `group`.
    std::size_t Count(std::string_view group, std::string_view key) const;
};

// Whether `bytes` is valid UTF-8 without NUL (overlong forms and surrogates
// are invalid).
bool IsUtf8Text(std::string_view bytes);

// Strict: every line must be well-formed, the text UTF-8. Lenient (for
// files edited in place, such as mimeapps.list): any bytes, and a line that
// is none of the kinds is kept as Other; never fails.
bool ParseKeyFile(std::string_view bytes, KeyFile* file, std::string* error, bool lenient = false);

bool UnescapeString(std::string_view raw, std::string* value);

bool SplitExec(std::string_view value, std::vector<std::string>* arguments, std::string* error);

}  // namespace quelvo::desktop
