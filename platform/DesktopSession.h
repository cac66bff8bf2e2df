#pragma once

// Starting a desktop program for the user on whose behalf the program runs
// as root (sudo, pkexec): as that user, in their session, never as root.
// POSIX only.
//
// | Call                  | Answers                                                        |
// |-----------------------|----------------------------------------------------------------|
// | InvokingUid           | the uid in PKEXEC_UID, else SUDO_UID: decimal, not root; none otherwise |
// | DesktopUserFor        | the account of a uid with its groups; none for an unknown uid  |
// | FindDesktopUser       | the invoking desktop user when running as root; none otherwise |
// | SessionEnvironment    | "NAME=value" entries for a program started in that user's session |
// | FindProgram           | the full path of an executable on a fixed, trusted search path |
// | LaunchAsUser          | started (not waited for), or why not in plain words            |
// | RunAndWait            | ran to its end (and its exit status), or why not in plain words |

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quelvo::platform {

struct DesktopUser {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;  // every group the account is in, its own included
    std::string name;
    std::string home;
    std::string shell;
};

// Reads an environment variable; null when unset.
using EnvironmentReader = std::function<const char*(const char* name)>;
// The process's own environment.
EnvironmentReader ProcessEnvironment();

std::optional<uid_t> InvokingUid(const EnvironmentReader& environment);
std::optional<DesktopUser> DesktopUserFor(uid_t uid);
std::optional<DesktopUser> FindDesktopUser(const EnvironmentReader& environment);

// Built from the account (HOME, USER, LOGNAME, SHELL, a fixed PATH), the
// display the program itself shows on (DISPLAY, WAYLAND_DISPLAY), the
// user's runtime folder under runtimeRoot when it is theirs (XDG_RUNTIME_DIR
// and its session bus), and the desktop's settings that only choose how
// things open (XAUTHORITY when the user owns it, XDG_* desktop names and
// folders, BROWSER, LANG).
std::vector<std::string> SessionEnvironment(const DesktopUser& user, const EnvironmentReader& environment,
                                            const std::string& runtimeRoot = "/run/user");

// Looks in /usr/local/bin, /usr/bin and /bin only: root's own PATH is not
// the user's to choose.
std::optional<std::string> FindProgram(const std::string& name);

struct LaunchResult {
    bool started = false;
    std::string error;  // why not, when not started
};

// Starts program (a full path) with arguments as the user: their uid, gid
// and groups, with no way back to root, in a session of its own, in their
// home folder, with the given environment and nothing else inherited (no
// open files, standard streams on /dev/null, default signal handling). It
// is not a child of this process and is not waited for; the result says
// whether it was started.
LaunchResult LaunchAsUser(const DesktopUser& user, const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment);

struct RunResult {
    bool ran = false;     // started and ended by itself in time
    int exitStatus = -1;  // when it ran: its exit status (-1 when a signal ended it)
    std::string error;    // why it did not run or did not end
};

// Runs program (a full path) with arguments and waits for it, at most
// `timeout`: as `user` the way LaunchAsUser starts it when one is given
// (never root), else as this process; in a session of its own, with the
// given environment only and the standard streams on /dev/null. One that
// takes longer is killed with its session.
RunResult RunAndWait(const DesktopUser* user, const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, std::chrono::milliseconds timeout);

}  // namespace quelvo::platform
