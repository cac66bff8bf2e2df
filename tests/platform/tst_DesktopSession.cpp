#include "platform/DesktopSession.h"

#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace quelvo::platform;
namespace fs = std::filesystem;

namespace {

using quelvo::test::ScratchFolder;

EnvironmentReader Reader(const std::map<std::string, std::string>& values)
{
    return [values](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

bool Has(const std::vector<std::string>& entries, const std::string& entry)
{
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
}

bool HasName(const std::vector<std::string>& entries, const std::string& name)
{
    return std::any_of(entries.begin(), entries.end(), [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
}

void MakeSocket(const fs::path& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(DesktopSession, shouldTakeTheInvokingUserFromPkexecThenSudo)
{
    using Env = std::map<std::string, std::string>;
    EXPECT_EQ(InvokingUid(Reader({{"SUDO_UID", "1000"}})), uid_t(1000));
    EXPECT_EQ(InvokingUid(Reader({{"PKEXEC_UID", "1001"}, {"SUDO_UID", "1000"}})), uid_t(1001));
    // pkexec's value decides, even when it cannot be used.
    EXPECT_EQ(InvokingUid(Reader({{"PKEXEC_UID", "x"}, {"SUDO_UID", "1000"}})), std::nullopt);
    EXPECT_EQ(InvokingUid(Reader({{"PKEXEC_UID", ""}, {"SUDO_UID", "1000"}})), uid_t(1000));
    for (const char* refused : {"0", "", "-1000", "+1000", " 1000", "1000 ", "10a0", "4294967295", "99999999999",
                                "18446744073709551617"}) {
        EXPECT_EQ(InvokingUid(Reader({{"SUDO_UID", refused}})), std::nullopt) << refused;
    }
    EXPECT_EQ(InvokingUid(Reader(Env{})), std::nullopt);
}

TEST(DesktopSession, shouldFindTheInvokingUserOnlyWhenRunningAsRoot)
{
    if (geteuid() != 0) {
        // Without root there is nobody to act for.
        EXPECT_EQ(FindDesktopUser(Reader({{"SUDO_UID", "65534"}})), std::nullopt);
        return;
    }
    const std::optional<DesktopUser> nobody = FindDesktopUser(Reader({{"SUDO_UID", "65534"}}));
    ASSERT_TRUE(nobody);
    EXPECT_EQ(nobody->uid, uid_t(65534));
    EXPECT_FALSE(nobody->name.empty());
    EXPECT_TRUE(std::count(nobody->groups.begin(), nobody->groups.end(), nobody->gid) == 1);
    EXPECT_EQ(FindDesktopUser(Reader({})), std::nullopt);
    EXPECT_EQ(FindDesktopUser(Reader({{"SUDO_UID", "0"}})), std::nullopt);
}

TEST(DesktopSession, shouldGiveTheSessionOnlyWhatIsTheUsersAndWhatChoosesHowThingsOpen)
{
    ScratchFolder temp("quelvo-session");
    const std::optional<DesktopUser> me = DesktopUserFor(getuid());
    ASSERT_TRUE(me);
    DesktopUser user = *me;
    user.home = (temp.Path() / "home").string();
    fs::create_directory(user.home);
    const fs::path runtimeRoot = temp.Path() / "run";
    const fs::path runtime = runtimeRoot / std::to_string(user.uid);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    MakeSocket(runtime / "bus");

    const std::map<std::string, std::string> inherited{
        {"DISPLAY", ":7"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"BROWSER", "/opt/stand-in"}, {"LANG", "de_DE.UTF-8"},
        {"XDG_CURRENT_DESKTOP", "GNOME"}, {"XDG_DATA_DIRS", "/usr/share"},
        // Root's and the program's own: never handed on.
        {"PATH", "/root/bin:/usr/bin"}, {"LD_PRELOAD", "/tmp/evil.so"}, {"QUELVO_TARGET", "/home/u/.wine"},
        {"SUDO_COMMAND", "/usr/bin/quelvo"}, {"HOME", "/root"}, {"XDG_RUNTIME_DIR", "/run/user/0"},
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/0/bus"}, {"XAUTHORITY", "/root/.Xauthority"}};
    const std::vector<std::string> env = SessionEnvironment(user, Reader(inherited), runtimeRoot.string());

    const std::vector<std::string> expected{"HOME=" + user.home, "USER=" + user.name, "LOGNAME=" + user.name,
                                            "PATH=/usr/local/bin:/usr/bin:/bin", "DISPLAY=:7",
                                            "WAYLAND_DISPLAY=wayland-1", "BROWSER=/opt/stand-in", "LANG=de_DE.UTF-8",
                                            "XDG_CURRENT_DESKTOP=GNOME", "XDG_DATA_DIRS=/usr/share",
                                            "XDG_RUNTIME_DIR=" + runtime.string(),
                                            "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (runtime / "bus").string()};
    for (const std::string& entry : expected) {
        EXPECT_TRUE(Has(env, entry)) << entry;
    }
    for (const char* left : {"LD_PRELOAD", "QUELVO_TARGET", "SUDO_COMMAND"})
        EXPECT_FALSE(HasName(env, left)) << left;
    for (const char* once : {"HOME", "PATH", "XDG_RUNTIME_DIR", "DBUS_SESSION_BUS_ADDRESS"})
        EXPECT_EQ(std::count_if(env.begin(), env.end(), [&](const std::string& e) { return e.rfind(std::string(once) + "=", 0) == 0; }), 1) << once;

    // The user's X authority file is handed on; one that is not theirs is not.
    const fs::path authority = temp.Path() / "xauth";
    std::ofstream(authority) << "cookie";
    std::map<std::string, std::string> withAuthority = inherited;
    withAuthority["XAUTHORITY"] = authority.string();
    EXPECT_TRUE(Has(SessionEnvironment(user, Reader(withAuthority), runtimeRoot.string()), "XAUTHORITY=" + authority.string()));
    const fs::path link = temp.Path() / "xauth-link";
    fs::create_symlink(authority, link);
    withAuthority["XAUTHORITY"] = link.string();
    EXPECT_FALSE(HasName(SessionEnvironment(user, Reader(withAuthority), runtimeRoot.string()), "XAUTHORITY"));

    // A runtime folder others may write to is not the user's session.
    fs::permissions(runtime, fs::perms::owner_all | fs::perms::others_all, fs::perm_options::replace);
    const std::vector<std::string> open = SessionEnvironment(user, Reader({{"DISPLAY", ":7"}}), runtimeRoot.string());
    EXPECT_FALSE(HasName(open, "XDG_RUNTIME_DIR"));
    EXPECT_FALSE(HasName(open, "DBUS_SESSION_BUS_ADDRESS"));
}

TEST(DesktopSession, shouldFindProgramsOnTheTrustedPathOnly)
{
    const std::optional<std::string> sh = FindProgram("sh");
    ASSERT_TRUE(sh);
    EXPECT_TRUE(*sh == "/usr/bin/sh" || *sh == "/bin/sh") << *sh;
    EXPECT_EQ(FindProgram("./sh"), std::nullopt);
    EXPECT_EQ(FindProgram("../bin/sh"), std::nullopt);
    EXPECT_EQ(FindProgram(""), std::nullopt);
    EXPECT_EQ(FindProgram("quelvo-no-such-program"), std::nullopt);
}

TEST(DesktopSession, shouldRefuseToStartAnythingAsRoot)
{
    DesktopUser root;
    root.name = "root";
    const LaunchResult result = LaunchAsUser(root, "/bin/true", {}, {});
    EXPECT_FALSE(result.started);
    EXPECT_NE(result.error.find("as root"), std::string::npos) << result.error;
}

// The real thing: root starts a program as uid 65534 (CI runs as root).
TEST(DesktopSession, shouldStartTheProgramAsTheUserWithNothingOfRootsLeft)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    const std::optional<DesktopUser> nobody = DesktopUserFor(65534);
    ASSERT_TRUE(nobody);
    ScratchFolder temp("quelvo-session");
    fs::permissions(temp.Path(), fs::perms::all, fs::perm_options::replace);
    const fs::path out = temp.Path() / "out";
    const std::string script = "exec >" + out.string() + ".part; id -u; id -g; id -G; echo \"ppid $PPID\"; "
                               "cut -d' ' -f6 /proc/$$/stat; echo $$; readlink /proc/$$/fd/0; pwd; env; mv "
                               + out.string() + ".part " + out.string();
    // The shell keeps descriptors of its own around redirections: the list
    // comes from ls itself, which adds only the folder it reads (3).
    const fs::path fdsOut = temp.Path() / "fds";

    // A descriptor this process has open without close-on-exec, and a
    // variable of its own: neither reaches the program.
    const int leaked = open("/dev/null", O_RDONLY);
    ASSERT_GE(leaked, 3);
    setenv("QUELVO_ROOT_ONLY", "secret", 1);
    const std::vector<std::string> env{"HOME=/", "PATH=/usr/bin:/bin", "STAND_IN=yes"};
    const LaunchResult result = LaunchAsUser(*nobody, "/bin/sh", {"-c", script}, env);
    const LaunchResult listed =
        LaunchAsUser(*nobody, "/bin/sh", {"-c", "exec ls /proc/self/fd >" + fdsOut.string() + ".part"}, env);
    close(leaked);
    unsetenv("QUELVO_ROOT_ONLY");
    ASSERT_TRUE(result.started) << result.error;
    ASSERT_TRUE(listed.started) << listed.error;

    for (int i = 0; i < 400 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(fs::exists(out));
    std::istringstream lines(ReadAll(out));
    std::string uid, gid, groups, ppid, sid, pid, in, cwd;
    for (std::string* line : {&uid, &gid, &groups, &ppid, &sid, &pid, &in, &cwd})
        std::getline(lines, *line);
    std::string fds;
    for (int i = 0; i < 400 && fds.size() < 8; ++i) {
        fds = ReadAll(fdsOut.string() + ".part");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::replace(fds.begin(), fds.end(), '\n', ' ');
    const std::string rest((std::istreambuf_iterator<char>(lines)), std::istreambuf_iterator<char>());

    EXPECT_EQ(uid, "65534");
    EXPECT_EQ(gid, std::to_string(nobody->gid));
    std::string expectedGroups;
    for (gid_t g : nobody->groups)
        expectedGroups += (expectedGroups.empty() ? "" : " ") + std::to_string(g);
    EXPECT_EQ(groups, expectedGroups);  // root's groups are gone
    EXPECT_NE(ppid, "ppid " + std::to_string(getpid()));
    EXPECT_EQ(sid, pid);  // a session of its own
    EXPECT_EQ(fds, "0 1 2 3 ");
    EXPECT_EQ(in, "/dev/null");
    EXPECT_EQ(cwd, "/");
    EXPECT_NE(rest.find("STAND_IN=yes"), std::string::npos);
    EXPECT_EQ(rest.find("QUELVO_ROOT_ONLY"), std::string::npos);
    EXPECT_EQ(rest.find("SUDO_"), std::string::npos);
}

TEST(DesktopSession, shouldSayWhyAProgramDidNotStart)
{
    const std::optional<DesktopUser> nobody = DesktopUserFor(65534);
    if (!nobody)
        GTEST_SKIP() << "no account 65534";
    const LaunchResult result = LaunchAsUser(*nobody, "/nonexistent/quelvo-opener", {"x"}, {});
    EXPECT_FALSE(result.started);
    if (geteuid() == 0)
        EXPECT_EQ(result.error, "could not run /nonexistent/quelvo-opener (No such file or directory)");
    else  // only root may become another user
        EXPECT_NE(result.error.find("could not"), std::string::npos) << result.error;
}

TEST(DesktopSession, shouldRunAProgramToItsEndOrStopItInTime)
{
    using namespace std::chrono_literals;
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::chrono::milliseconds timeout;
        bool ran;
        int status;
        const char* error;
    } cases[] = {
        {"its exit status", {"-c", "exit 3"}, 30s, true, 3, ""},
        {"one that takes too long, killed with what it started", {"-c", "sleep 30 & sleep 30"}, 200ms, false, -1,
         "/bin/sh did not finish within 200 ms"},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const RunResult run = RunAndWait(nullptr, "/bin/sh", c.args, {"PATH=/bin"}, c.timeout);
        EXPECT_EQ(run.ran, c.ran) << c.what << ": " << run.error;
        EXPECT_EQ(run.exitStatus, c.status) << c.what;
        EXPECT_EQ(run.error, c.error) << c.what;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 20s) << c.what;
    }
    EXPECT_EQ(RunAndWait(nullptr, "/nonexistent/tool", {}, {}, 30s).error,
              "could not run /nonexistent/tool (No such file or directory)");

    const std::optional<DesktopUser> nobody = DesktopUserFor(65534);
    if (geteuid() != 0 || !nobody)
        return;
    ScratchFolder folder("quelvo-session");
    fs::permissions(folder.Path(), fs::perms::all);
    const RunResult asUser = RunAndWait(&*nobody, "/bin/sh", {"-c", "touch " + (folder.Path() / "made").string()}, {}, 30s);
    ASSERT_TRUE(asUser.ran) << asUser.error;
    struct stat st {};
    ASSERT_EQ(stat((folder.Path() / "made").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u) << "run as the user, not as root";
}
