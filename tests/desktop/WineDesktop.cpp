#include "tests/desktop/WineDesktop.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quelvo::desktop::test {

namespace {

// wineserver's escaping of a registry string: backslash and quote.
std::string RegString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string KeyLine(const std::vector<std::string>& path)
{
    std::string line = "[";
    for (std::size_t i = 0; i < path.size(); ++i)
        line += (i ? "\\\\" : "") + RegString(path[i]);
    return line + "] 1733750000\n#time=1db4a0b5c8e0f2a\n";
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

std::string Association::Mime() const
{
    if (Protocol())
        return "x-scheme-handler/" + type;
    return mimeType.empty() ? "application/x-wine-extension-" + Lower(type.substr(1)) : mimeType;
}

std::string Association::FileName() const
{
    return Protocol() ? "wine-protocol-" + type + ".desktop" : "wine-extension-" + Lower(type.substr(1)) + ".desktop";
}

DesktopFolders Home::Folders() const
{
    DesktopFolders folders;
    folders.uid = ::geteuid();
    folders.gid = ::getegid();
    folders.userName = "tester";
    folders.home = dir / "home";
    folders.dataHome = Data();
    folders.configHome = Config();
    return folders;
}

std::map<std::string, std::string> Home::Environment() const
{
    return {{"HOME", (dir / "home").string()},
            {"XDG_DATA_HOME", Data().string()},
            {"XDG_CONFIG_HOME", Config().string()},
            {"XDG_DATA_DIRS", (dir / "none").string()},
            {"XDG_CONFIG_DIRS", (dir / "none").string()},
            {"PATH", "/usr/bin:/bin"}};
}

std::string EntryText(const fs::path& prefix, const Association& a)
{
    std::string text = "[Desktop Entry]\nType=Application\nName=" + a.appName + "\nMimeType=" + a.Mime()
        + ";\nExec=env WINEPREFIX=\"" + prefix.string() + "\" " + a.launcher + " start ";
    if (a.Protocol())
        text += "%u\n";
    else
        text += "/ProgIDOpen " + (a.escapedProgId.empty() ? a.progId : a.escapedProgId) + " %f\n";
    text += "NoDisplay=true\nStartupNotify=true\n";
    if (a.openWithIcon)
        text += "Icon=" + *a.openWithIcon + "\n";
    return text;
}

std::string PackageText(const Association& a)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                       "  <mime-type type=\""
        + a.Mime() + "\">\n    <glob pattern=\"*" + Lower(a.type) + "\"/>\n";
    if (a.docName)
        text += "    <comment>" + *a.docName + "</comment>\n";
    return text + "  </mime-type>\n</mime-info>\n";
}

Prefix& Prefix::Extension(const std::string& ext, const std::string& progId, const std::string& command, bool user)
{
    auto& keys = user ? m_user : m_machine;
    keys.push_back({{"Software", "Classes", ext}, {{"", progId}}});
    if (!command.empty())
        keys.push_back({{"Software", "Classes", progId, "shell", "open", "command"}, {{"", command}}});
    return *this;
}

Prefix& Prefix::Protocol(const std::string& scheme, const std::string& command)
{
    m_machine.push_back({{"Software", "Classes", scheme}, {{"", "URL:" + scheme}, {"URL Protocol", ""}}});
    m_machine.push_back({{"Software", "Classes", scheme, "shell", "open", "command"}, {{"", command}}});
    return *this;
}

Prefix& Prefix::Program(const std::string& windowsPath)
{
    m_programs.push_back(windowsPath);
    return *this;
}

Prefix& Prefix::Record(const Association& a, const fs::path& desktopFile, bool unixForm)
{
    std::string file = desktopFile.string();
    if (!unixForm) {
        std::replace(file.begin(), file.end(), '/', '\\');
        file = "\\\\?\\unix" + file;
    }
    Key key{{"Software", "Wine", "FileOpenAssociations", a.Protocol() ? a.type : Lower(a.type)},
            {{"AppName", a.appName}, {"DesktopFile", file}, {"MimeType", a.Mime()}}};
    if (a.openWithIcon)
        key.values.emplace_back("OpenWithIcon", *a.openWithIcon);
    if (!a.Protocol())
        key.values.emplace_back("ProgID", a.progId);
    m_user.push_back(std::move(key));
    return *this;
}

void Prefix::Write() const
{
    const auto write = [](const fs::path& file, const std::string& relative, std::vector<Key> keys) {
        std::sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
            std::vector<std::string> a, b;
            for (const auto& p : x.path)
                a.push_back(Lower(p));
            for (const auto& p : y.path)
                b.push_back(Lower(p));
            return a < b;
        });
        std::string text = "WINE REGISTRY Version 2\n;; All keys relative to " + relative + "\n\n#arch=win64\n";
        for (const Key& key : keys) {
            text += "\n" + KeyLine(key.path);
            for (const auto& [name, value] : key.values)
                text += (name.empty() ? "@" : "\"" + RegString(name) + "\"") + "=\"" + RegString(value) + "\"\n";
        }
        WriteFile(file, text);
    };
    write(m_path / "system.reg", "\\\\Machine", m_machine);
    write(m_path / "user.reg", "\\\\User\\\\S-1-5-21-0-0-0-1000", m_user);
    fs::create_directories(m_path / "drive_c" / "windows");
    fs::create_directories(m_path / "dosdevices");
    std::error_code ignored;
    fs::create_directory_symlink("../drive_c", m_path / "dosdevices" / "c:", ignored);
    for (std::string program : m_programs) {
        std::replace(program.begin(), program.end(), '\\', '/');
        WriteFile(m_path / "drive_c" / program.substr(3), "MZ");
    }
}

void WriteAssociation(const Home& home, Prefix& prefix, const Association& a)
{
    const fs::path entry = home.Applications() / a.FileName();
    WriteFile(entry, EntryText(prefix.Path(), a));
    if (!a.Protocol() && (a.mimeType.empty() || a.packaged))
        WriteFile(home.Data() / "mime" / "packages" / ("x-wine-extension-" + Lower(a.type.substr(1)) + ".xml"),
                  PackageText(a));
    prefix.Record(a, entry);
}

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::map<fs::path, std::string> Snapshot(const fs::path& folder)
{
    std::map<fs::path, std::string> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_symlink(ec))
            files[it->path()] = "-> " + fs::read_symlink(it->path(), ec).string();
        else if (it->is_regular_file(ec))
            files[it->path()] = it->file_size(ec) > (1 << 20) ? "<" + std::to_string(it->file_size(ec)) + " bytes>"
                                                               : ReadFile(it->path());
    }
    return files;
}

std::set<std::string> Changed(const std::map<fs::path, std::string>& before, const std::map<fs::path, std::string>& after,
                              const fs::path& root)
{
    std::set<std::string> changed;
    for (const auto& [path, bytes] : before) {
        const auto it = after.find(path);
        if (it == after.end() || it->second != bytes)
            changed.insert(path.lexically_relative(root).string());
    }
    for (const auto& [path, bytes] : after) {
        if (!before.count(path))
            changed.insert(path.lexically_relative(root).string());
    }
    return changed;
}

std::string AskDesktop(const Home& home, const std::string& command)
{
    std::string line = "env -i";
    for (const auto& [name, value] : home.Environment())
        line += " '" + name + "=" + value + "'";
    std::string out;
    if (FILE* pipe = ::popen((line + " " + command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

std::string DesktopDefault(const Home& home, const std::string& type)
{
    std::string gio = AskDesktop(home, "gio mime " + type);
    gio = gio.substr(0, gio.find('\n'));
    const std::size_t colon = gio.rfind(": ");
    std::string xdg = AskDesktop(home, "xdg-mime query default " + type);
    xdg = xdg.substr(0, xdg.find('\n'));
    return "xdg-mime: " + xdg + ", gio: " + (colon == std::string::npos ? gio : gio.substr(colon + 2));
}

}  // namespace quelvo::desktop::test

#include "platform/Target.h"
#include "scan/Unit_QLV_func_FilesDirs.h"

#include <cstdlib>
#include <sys/stat.h>

namespace quelvo::desktop::test {

void ScopedEnvironment::Set(const char* name, const std::optional<std::string>& value)
{
    const char* old = std::getenv(name);
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->second)
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        else
            ::unsetenv(it->first.c_str());
    }
}

void ScopedEnvironment::UseHome(const Home& home)
{
    Set("HOME", (home.dir / "home").string());
    Set("XDG_DATA_HOME", home.Data().string());
    Set("XDG_CONFIG_HOME", home.Config().string());
    for (const char* name : {"XDG_CURRENT_DESKTOP", "SUDO_UID", "PKEXEC_UID"})
        Set(name, std::nullopt);
}

ProgramProbe ScanProbe()
{
    return [](platform::Target& prefix, std::u16string_view command) {
        platform::ScopedActiveTarget active(prefix);
        return scan::func_GetExePathFromCommand(command);
    };
}

std::set<std::string> EveryState::StaleTraces()
{
    return {"data/applications/wine-extension-foo.desktop", "data/applications/wine-extension-bar.desktop",
            "data/applications/wine-extension-xyz.desktop", "data/applications/wine-extension-doc.desktop",
            "data/applications/wine-extension-rtf.desktop", "data/applications/wine-extension-ini.desktop",
            "data/mime/packages/x-wine-extension-foo.xml",
            "data/icons/hicolor/48x48/apps/application-x-wine-extension-foo.png",
            "data/icons/hicolor/32x32/apps/application-x-wine-extension-foo.png",
            "config/mimeapps.list", "data/applications/mimeapps.list",
            "home/.wine/user.reg", "home/shared pfx/user.reg"};
}

EveryState::EveryState()
    : wine(home.dir / "home" / ".wine"), games(home.dir / "home" / ".wine-games"), empty(home.dir / "home" / "empty"),
      shared(home.dir / "home" / "shared pfx")
{
    Prefix p(wine);
    p.Extension(".txt", "txtfile", "C:\\windows\\notepad.exe %1").Program("C:\\windows\\notepad.exe");
    p.Extension(".mp3", "mp3file", "\"C:\\Program Files\\Missing\\player.exe\" \"%1\"");
    p.Extension(".bar", "barfile", "");
    p.Extension(".abc", "abcfile", "").Extension(".abc", "userabc", "C:\\windows\\notepad.exe %1", true);
    p.Extension(".xyz", "xyzfile", "C:\\windows\\notepad.exe %1").Extension(".xyz", "other", "C:\\windows\\notepad.exe %1", true);
    p.Extension(".doc", "docfile", "C:\\windows\\notepad.exe %1");
    p.Extension(".ini", "inifile", "C:\\windows\\notepad.exe %1");
    p.Protocol("irc", "C:\\windows\\notepad.exe %1");
    const Association txt{.type = ".txt", .progId = "txtfile", .appName = "Notepad", .mimeType = "text/plain",
                          .openWithIcon = "2F8A_notepad.0"};
    WriteAssociation(home, p, txt);
    WriteAssociation(home, p, {.type = ".mp3", .progId = "mp3file", .appName = "Player", .mimeType = "audio/mpeg"});
    WriteAssociation(home, p, {.type = ".foo", .progId = "foofile", .docName = "Foo document"});
    WriteFile(home.Data() / "icons/hicolor/48x48/apps/application-x-wine-extension-foo.png", "\x89PNG foo");
    WriteFile(home.Data() / "icons/hicolor/32x32/apps/application-x-wine-extension-foo.png", "\x89PNG foo 32");
    WriteAssociation(home, p, {.type = ".bar", .progId = "barfile", .mimeType = "application/x-thing", .packaged = true});
    WriteAssociation(home, p, {.type = ".abc", .progId = "userabc", .mimeType = "application/x-thing", .packaged = true});
    WriteAssociation(home, p, {.type = ".xyz", .progId = "xyzfile", .mimeType = "text/x-xyz"});
    WriteAssociation(home, p, {.type = "irc", .appName = "Chat"});
    WriteAssociation(home, p, {.type = ".log", .progId = "logfile", .appName = "Notepad", .mimeType = "text/x-log"});
    WriteFile(home.Applications() / "wine-extension-log.desktop",
              EntryText(wine, {.type = ".log", .progId = "logfile", .appName = "My log viewer", .mimeType = "text/x-log"}));
    p.Record({.type = ".ini", .progId = "inifile", .mimeType = "text/x-ini"}, home.Applications() / "wine-extension-ini.desktop");
    p.Write();

    const Association doc{.type = ".doc", .progId = "docfile", .appName = "Writer", .mimeType = "application/msword"};
    Prefix gamesPrefix(games);
    WriteAssociation(home, gamesPrefix, doc);
    Prefix emptyPrefix(empty);
    WriteAssociation(home, emptyPrefix, {.type = ".rtf", .progId = "rtffile", .mimeType = "text/rtf"});
    fs::create_directories(empty);
    Prefix sharedPrefix(shared);
    sharedPrefix.Extension(".ini", "inifile", "");
    WriteAssociation(home, sharedPrefix, {.type = ".ini", .progId = "inifile", .mimeType = "text/x-ini"});
    sharedPrefix.Write();

    const fs::path apps = home.Applications();
    WriteFile(home.dir / "elsewhere.desktop", EntryText(games, doc));
    fs::create_symlink(home.dir / "elsewhere.desktop", apps / "wine-extension-lnk.desktop");
    ::mkfifo((apps / "wine-extension-fifo.desktop").c_str(), 0644);
    WriteFile(apps / "wine-extension-big.desktop", "");
    fs::resize_file(apps / "wine-extension-big.desktop", 100 << 20);
    WriteFile(apps / "wine-extension-bin.desktop", std::string("\x7f" "ELF\0\1\2", 7));
    WriteFile(apps / "wine-extension-vlc.desktop", "[Desktop Entry]\nType=Application\nName=VLC\nMimeType=video/x-vlc;\nExec=vlc %f\n");
    WriteFile(home.Config() / "mimeapps.list",
              "# chosen by hand\n[Default Applications]\ntext/plain=wine-extension-txt.desktop;gedit.desktop;\n"
              "application/msword=wine-extension-doc.desktop;\napplication/x-wine-extension-foo=wine-extension-foo.desktop;\n"
              "\n[Added Associations]\napplication/msword=wine-extension-doc.desktop;writer.desktop;wine-extension-doc.desktop;\n"
              "[X-Mine]\napplication/msword=wine-extension-doc.desktop;\n");
    WriteFile(apps / "mimeapps.list", "[Added Associations]\nx-scheme-handler/irc=wine-protocol-irc.desktop;\n"
                                      "application/x-thing=wine-extension-bar.desktop;wine-extension-abc.desktop;\n");
}

}  // namespace quelvo::desktop::test
