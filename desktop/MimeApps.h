#pragma once

// Editing the desktop's choices of applications (mimeapps.list) in place:
// desktop ids taken out of, and put back into, the lists of its three
// groups ([Default Applications], [Added Associations], [Removed
// Associations]). Every other line stays byte for byte: comments, unknown
// groups, other programs' ids, duplicates, their order, line ends, and
// lines that are not well-formed. A list left empty loses its line.
//
// A list is "id;id;": ids are split at ";" not preceded by a backslash,
// and compared after the string escapes (\s, \\, \;) are undone.

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quelvo::desktop {

// The three groups whose lists name desktop ids.
bool IsMimeAppsGroup(std::string_view group);

// One line changed by a removal, and what undoes it.
struct MimeAppsEdit {
    std::string group;
    std::string key;     // the MIME type
    std::string before;  // the whole line before
    std::string after;   // the line after; empty when the line went
    bool lineRemoved = false;
    std::string previous;  // the line before it, where a removed line goes back

    std::vector<std::string> ids;  // the ids taken out, as written
};

// Takes every id of `ids` out of every list of the three groups. `text`
// gets the new file; `edits` one entry per changed line, in file order.
// False (and nothing to write) when no line changed.
bool RemoveDesktopIds(std::string_view bytes, const std::set<std::string>& ids, std::string* text,
                      std::vector<MimeAppsEdit>* edits);

// Puts the ids of `edits` back: into the line of the same group and type
// when there is one (where they stood, among the ids it holds now), else as
// the line it was, at the end of its group (made at the end when missing).
// Ids that are there already are left as they are. `bytes` may be empty (the
// file is gone). False when nothing needed putting back.
bool RestoreDesktopIds(std::string_view bytes, const std::vector<MimeAppsEdit>& edits, std::string* text);

// The ids of a list value, unescaped.
std::vector<std::string> DesktopIdsOf(std::string_view value);

}  // namespace quelvo::desktop
