#pragma once

// The command line of quelvo-scan, parsed by CLI11:
//   --target DIR        (not on Windows) the Wine prefix or offline Windows
//                       installation to check, as QUELVO_TARGET names one;
//                       default: $QUELVO_TARGET, else $WINEPREFIX, else ~/.wine
//   --ext EXT           one extension, with the window's rules (".mp3", "mp3")
//   --library FILE      the file type library; default: the window's
//   --format F          text (default), json or jsonl
//   --fix               repair what Fix Now repairs, with its safeguards
//   --backup-dir DIR    where the repair's backups go
//   --desktop           (not on Windows) Wine's entries on the desktop user's
//                       desktop instead, of every prefix (--target: of that
//                       one; --ext: of that extension); --fix removes the
//                       stale ones
//   --desktop-programs  with --desktop: those whose program is gone count
//                       as stale too
//   --help, --version
// Any other word, a missing value or a value that is not allowed is bad
// usage: a message and exit status 2.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::scancli {

// What is asked to be checked; each kind is one kind of report in the same
// schema.
enum class ReportKind { Associations, Desktop };

enum class Format { Text, Json, JsonLines };

struct ScanOptions {
    ReportKind kind = ReportKind::Associations;
    std::optional<std::filesystem::path> target;
    std::optional<std::u16string> ext;  // as typed; normalised by the scan
    std::optional<std::filesystem::path> library;
    Format format = Format::Text;
    bool fix = false;
    std::optional<std::filesystem::path> backupDir;
    bool desktopPrograms = false;
};

struct ParsedCommandLine {
    ScanOptions options;
    // Set when the program ends here: 0 after --help or --version (written
    // to `out`), 2 after bad usage (the message written to `err`).
    std::optional<int> exitStatus;
};

// args: the words after the program's name, in UTF-8.
ParsedCommandLine ParseScanCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// A path given on the command line (UTF-8; on Linux the bytes as they are).
std::filesystem::path PathFromArgument(const std::string& argument);
// A path as text (on Linux its bytes read as UTF-8, invalid ones as U+FFFD).
std::u16string PathText(const std::filesystem::path& path);

}  // namespace quelvo::scancli
