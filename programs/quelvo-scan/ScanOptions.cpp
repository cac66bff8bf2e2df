#include "ScanOptions.h"

#include "platform/Text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <ostream>

namespace quelvo::scancli {

namespace {

constexpr char kExitStatuses[] =
    "Exit status: 0 nothing to repair; 1 problems found (with --fix: problems remain);\n"
    "2 bad usage; 3 the target could not be checked completely (missing, unreadable,\n"
    "damaged or out of date).\n"
#ifndef _WIN32
    "With --desktop: 1 stale entries found (with --fix: some remain); 3 an entry or a\n"
    "prefix could not be read.\n"
#endif
    ;

}  // namespace

std::filesystem::path PathFromArgument(const std::string& argument)
{
#ifdef _WIN32
    return std::filesystem::path(platform::FromUtf8(argument));
#else
    return std::filesystem::path(argument);
#endif
}

std::u16string PathText(const std::filesystem::path& path)
{
#ifdef _WIN32
    return path.u16string();
#else
    return platform::FromUtf8(path.native());
#endif
}

ParsedCommandLine ParseScanCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    ParsedCommandLine parsed;
    ScanOptions& options = parsed.options;

    CLI::App app("Checks the file-extension associations of a Windows registry, as the Quelvo window does, and "
                 "repairs them with --fix.",
                 "quelvo-scan");
    app.footer(kExitStatuses);
    app.set_version_flag("--version", "quelvo-scan " QUELVO_VERSION);

    std::string target;
    std::string ext;
    std::string library;
    std::string backupDir;
    std::string format = "text";
#ifndef _WIN32
    auto* targetOption = app.add_option("--target", target,
                                        "The Wine prefix or offline Windows installation to check (default: "
                                        "$QUELVO_TARGET, else $WINEPREFIX, else ~/.wine)")
                             ->type_name("DIR");
#endif
    auto* extOption =
        app.add_option("--ext", ext, "Check this one extension (\".mp3\" or \"mp3\"), as the window does")
            ->type_name("EXT");
    auto* libraryOption =
        app.add_option("--library", library, "The file type library (default: the window's FileType_lib.txt)")
            ->type_name("FILE");
    app.add_option("--format", format, "text (for people), json (one document) or jsonl (a line per extension)")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"text", "json", "jsonl"}));
    app.add_flag("--fix", options.fix, "Repair what Fix Now repairs, with the same backups and refusals");
    auto* backupOption =
        app.add_option("--backup-dir", backupDir, "Where the repair's backups go")->type_name("DIR");
#ifndef _WIN32
    bool desktop = false;
    app.add_flag("--desktop", desktop,
                 "Check Wine's \"Open With\" entries on the desktop user's desktop instead, of every prefix they "
                 "name (--target: of that prefix alone); with --fix, remove the stale ones");
    auto* programsOption = app.add_flag("--desktop-programs", options.desktopPrograms,
                                        "With --desktop: an entry whose program is gone is stale too");
#endif

    // CLI11 takes the words last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(e, out, err);
            parsed.exitStatus = 0;
        } else {
            err << "quelvo-scan: " << e.what() << "\nRun quelvo-scan --help for the options.\n";
            parsed.exitStatus = 2;
        }
        return parsed;
    }

#ifndef _WIN32
    if (targetOption->count()) {
        // An empty name is a script's unset variable, not a wish for the default.
        if (target.empty()) {
            err << "quelvo-scan: --target: an empty folder name\n";
            parsed.exitStatus = 2;
            return parsed;
        }
        options.target = PathFromArgument(target);
    }
#endif
    if (extOption->count())
        options.ext = platform::FromUtf8(ext);
    if (libraryOption->count())
        options.library = PathFromArgument(library);
    if (backupOption->count()) {
        if (backupDir.empty()) {
            err << "quelvo-scan: --backup-dir: an empty folder name\n";
            parsed.exitStatus = 2;
            return parsed;
        }
        options.backupDir = PathFromArgument(backupDir);
    }
    options.format = format == "json" ? Format::Json : format == "jsonl" ? Format::JsonLines : Format::Text;
#ifndef _WIN32
    if (desktop)
        options.kind = ReportKind::Desktop;
    if (programsOption->count() && !desktop) {
        err << "quelvo-scan: --desktop-programs: only with --desktop\n";
        parsed.exitStatus = 2;
    } else if (desktop && libraryOption->count()) {
        err << "quelvo-scan: --library: not with --desktop, which reads no file type library\n";
        parsed.exitStatus = 2;
    }
#endif
    return parsed;
}

}  // namespace quelvo::scancli
