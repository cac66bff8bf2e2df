#include "platform/DesktopSession.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quelvo::platform {

namespace {

// Decimal digits only, no sign, neither root nor the "no user" value.
std::optional<uid_t> ParseUid(const char* text)
{
    if (!text || !*text)
        return std::nullopt;
    unsigned long long value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || p - text >= 10)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(*p - '0');
    }
    if (value == 0 || value >= static_cast<unsigned long long>(static_cast<uid_t>(-1)))
        return std::nullopt;
    return static_cast<uid_t>(value);
}

bool Set(const char* value) { return value && *value; }

// Not followed through a symbolic link: a path someone else could point
// elsewhere is not the user's.
bool OwnedBy(const std::string& path, uid_t uid, mode_t type)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == type && st.st_uid == uid;
}

bool PrivateFolderOf(const std::string& path, uid_t uid)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 022) == 0;
}

// What went wrong in the new process, sent back through a pipe.
enum class Stage : int { Fork = 1, Groups, Group, User, StillRoot, Run };

struct Report {
    Stage stage;
    int error;
};

void Send(int fd, Stage stage)
{
    const Report report{stage, errno};
    // Nothing more can be done when this fails: the parent then reports
    // that the program did not start (no byte came).
    [[maybe_unused]] const ssize_t written = write(fd, &report, sizeof report);
}

// Only async-signal-safe calls from here on: the process may have had
// threads when it forked.
// asUser false: the program runs as this process, only its session and
// environment are new.
[[noreturn]] void StartInChild(const DesktopUser& user, bool asUser, const char* program, char* const* argv,
                               char* const* envp, const char* home, int reportFd, int openMax)
{
    // The standard streams are replaced below: the report pipe moves out of
    // their way first.
    if (reportFd < 3) {
        const int moved = fcntl(reportFd, F_DUPFD_CLOEXEC, 3);
        if (moved < 0)
            _exit(127);
        reportFd = moved;
    }
    setsid();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int s = 1; s < NSIG; ++s)
        if (s != SIGKILL && s != SIGSTOP)
            sigaction(s, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    if (asUser && setgroups(user.groups.size(), user.groups.data()) != 0) {
        Send(reportFd, Stage::Groups);
        _exit(127);
    }
    if (asUser && setresgid(user.gid, user.gid, user.gid) != 0) {
        Send(reportFd, Stage::Group);
        _exit(127);
    }
    if (asUser && setresuid(user.uid, user.uid, user.uid) != 0) {
        Send(reportFd, Stage::User);
        _exit(127);
    }
    if (asUser && (setuid(0) == 0 || geteuid() != user.uid || getegid() != user.gid)) {
        errno = EPERM;
        Send(reportFd, Stage::StillRoot);
        _exit(127);
    }
    if (chdir(home) != 0 && chdir("/") != 0) {
        // Started anyway: no folder is needed to open an address.
    }
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (reportFd > 3)
        close_range(3, static_cast<unsigned>(reportFd) - 1, 0);
    close_range(static_cast<unsigned>(reportFd) + 1, ~0u, 0);
    (void)openMax;
#else
    for (int fd = 3; fd < openMax; ++fd)
        if (fd != reportFd)
            close(fd);
#endif
    execve(program, argv, envp);
    Send(reportFd, Stage::Run);
    _exit(127);
}

std::string Reason(const Report& report, const DesktopUser& user, const std::string& program)
{
    const std::string why = std::strerror(report.error);
    switch (report.stage) {
    case Stage::Fork: return "could not start a process for " + user.name + " (" + why + ")";
    case Stage::Groups: return "could not take the groups of " + user.name + " (" + why + ")";
    case Stage::Group: return "could not take the group of " + user.name + " (" + why + ")";
    case Stage::User: return "could not become " + user.name + " (" + why + ")";
    case Stage::StillRoot: return "could not give up root's rights for " + user.name;
    case Stage::Run: return "could not run " + program + " (" + why + ")";
    }
    return "could not start " + program;
}

// Everything a new process needs is made before the fork: after it, the
// child may not allocate.
std::vector<char*> Pointers(const std::string& first, const std::vector<std::string>& rest)
{
    std::vector<char*> pointers;
    if (!first.empty())
        pointers.push_back(const_cast<char*>(first.c_str()));
    for (const std::string& item : rest)
        pointers.push_back(const_cast<char*>(item.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

int OpenMax()
{
    const long openMax = sysconf(_SC_OPEN_MAX);
    return openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;
}

// The report of a process that failed before its program ran, when one came.
bool ReadReport(int fd, Report* got)
{
    std::size_t have = 0;
    while (have < sizeof *got) {
        const ssize_t n = read(fd, reinterpret_cast<char*>(got) + have, sizeof *got - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    return have == sizeof *got;
}

pid_t ForkSafely()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return _Fork();
#else
    return fork();
#endif
}

}  // namespace

EnvironmentReader ProcessEnvironment()
{
    return [](const char* name) -> const char* { return std::getenv(name); };
}

std::optional<uid_t> InvokingUid(const EnvironmentReader& environment)
{
    // pkexec clears the environment, so a SUDO_UID beside its own is older.
    if (const char* pkexec = environment("PKEXEC_UID"); Set(pkexec))
        return ParseUid(pkexec);
    return ParseUid(environment("SUDO_UID"));
}

std::optional<DesktopUser> DesktopUserFor(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    for (;;) {
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found)
            return std::nullopt;
        break;
    }
    DesktopUser user;
    user.uid = entry.pw_uid;
    user.gid = entry.pw_gid;
    user.name = entry.pw_name ? entry.pw_name : "";
    user.home = entry.pw_dir && *entry.pw_dir ? entry.pw_dir : "/";
    user.shell = entry.pw_shell ? entry.pw_shell : "";
    int count = 64;
    for (int tries = 0; tries < 8; ++tries) {
        user.groups.resize(static_cast<std::size_t>(count));
        int got = count;
        if (getgrouplist(user.name.c_str(), user.gid, user.groups.data(), &got) >= 0) {
            user.groups.resize(static_cast<std::size_t>(got));
            return user;
        }
        if (got <= count || got > 65536)
            break;
        count = got;
    }
    // Group list unreadable: the account's own group only.
    user.groups.assign(1, user.gid);
    return user;
}

std::optional<DesktopUser> FindDesktopUser(const EnvironmentReader& environment)
{
    if (geteuid() != 0)
        return std::nullopt;
    const std::optional<uid_t> uid = InvokingUid(environment);
    return uid ? DesktopUserFor(*uid) : std::nullopt;
}

std::vector<std::string> SessionEnvironment(const DesktopUser& user, const EnvironmentReader& environment,
                                            const std::string& runtimeRoot)
{
    std::vector<std::string> out;
    const auto add = [&out](const char* name, const std::string& value) { out.push_back(name + ("=" + value)); };
    add("HOME", user.home);
    add("USER", user.name);
    add("LOGNAME", user.name);
    if (!user.shell.empty())
        add("SHELL", user.shell);
    add("PATH", "/usr/local/bin:/usr/bin:/bin");
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "LANG", "LANGUAGE", "BROWSER", "XDG_CURRENT_DESKTOP",
                             "XDG_SESSION_TYPE", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION", "XDG_DATA_DIRS",
                             "XDG_CONFIG_DIRS"}) {
        if (const char* value = environment(name); Set(value))
            add(name, value);
    }

    std::string runtime = runtimeRoot + "/" + std::to_string(user.uid);
    if (!PrivateFolderOf(runtime, user.uid)) {
        const char* inherited = environment("XDG_RUNTIME_DIR");
        runtime = Set(inherited) && PrivateFolderOf(inherited, user.uid) ? inherited : "";
    }
    if (!runtime.empty())
        add("XDG_RUNTIME_DIR", runtime);
    if (!runtime.empty() && OwnedBy(runtime + "/bus", user.uid, S_IFSOCK))
        add("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus");
    else if (const char* bus = environment("DBUS_SESSION_BUS_ADDRESS"); Set(bus))
        add("DBUS_SESSION_BUS_ADDRESS", bus);

    if (const char* authority = environment("XAUTHORITY"); Set(authority) && OwnedBy(authority, user.uid, S_IFREG))
        add("XAUTHORITY", authority);
    else if (OwnedBy(user.home + "/.Xauthority", user.uid, S_IFREG))
        add("XAUTHORITY", user.home + "/.Xauthority");
    return out;
}

std::optional<std::string> FindProgram(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    for (const char* folder : {"/usr/local/bin", "/usr/bin", "/bin"}) {
        const std::string path = std::string(folder) + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111) != 0)
            return path;
    }
    return std::nullopt;
}

LaunchResult LaunchAsUser(const DesktopUser& user, const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment)
{
    if (user.uid == 0)
        return {false, "will not start " + program + " as root"};
    std::vector<char*> argv = Pointers(program, arguments);
    std::vector<char*> envp = Pointers({}, environment);
    const int closeUpTo = OpenMax();

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return {false, std::string("could not start ") + program + " (" + std::strerror(errno) + ")"};
    const pid_t child = ForkSafely();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return {false, "could not start " + program + " (" + std::strerror(error) + ")"};
    }
    if (child == 0) {
        close(report[0]);
        // A grandchild, so that the program is nobody's child here and
        // leaves no zombie behind.
        const pid_t grandchild = ForkSafely();
        if (grandchild < 0) {
            Send(report[1], Stage::Fork);
            _exit(127);
        }
        if (grandchild > 0)
            _exit(0);
        StartInChild(user, true, program.c_str(), argv.data(), envp.data(), user.home.c_str(), report[1], closeUpTo);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Report got {};
    const bool failed = ReadReport(report[0], &got);
    close(report[0]);
    if (failed)
        return {false, Reason(got, user, program)};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {false, "could not start " + program};
    return {true, {}};
}

RunResult RunAndWait(const DesktopUser* user, const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment, std::chrono::milliseconds timeout)
{
    if (user && user->uid == 0)
        return {false, -1, "will not run " + program + " as root for a user"};
    static const DesktopUser kSelf;
    const DesktopUser& who = user ? *user : kSelf;
    std::vector<char*> argv = Pointers(program, arguments);
    std::vector<char*> envp = Pointers({}, environment);
    const int closeUpTo = OpenMax();
    const char* home = user ? user->home.c_str() : "/";

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return {false, -1, "could not run " + program + " (" + std::strerror(errno) + ")"};
    const pid_t child = ForkSafely();
    if (child < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        return {false, -1, "could not run " + program + " (" + std::strerror(error) + ")"};
    }
    if (child == 0) {
        close(report[0]);
        StartInChild(who, user != nullptr, program.c_str(), argv.data(), envp.data(), home, report[1], closeUpTo);
    }
    close(report[1]);
    Report got {};
    const bool failed = ReadReport(report[0], &got);
    close(report[0]);
    int status = 0;
    if (!failed) {
        // The report pipe closed when the program started; now it runs.
        const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
        bool ended = true;
        if (pidfd >= 0) {
            pollfd wait{pidfd, POLLIN, 0};
            int ready;
            while ((ready = poll(&wait, 1, static_cast<int>(timeout.count()))) < 0 && errno == EINTR) {
            }
            ended = ready > 0;
            close(pidfd);
        }
        if (!ended) {
            kill(-child, SIGKILL);  // its session's group, then itself
            kill(child, SIGKILL);
        }
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        if (!ended)
            return {false, -1,
                    program + " did not finish within "
                        + (timeout.count() % 1000 ? std::to_string(timeout.count()) + " ms"
                                                  : std::to_string(timeout.count() / 1000) + " s")};
        return {true, WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}};
    }
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return {false, -1, Reason(got, who, program)};
}

}  // namespace quelvo::platform
