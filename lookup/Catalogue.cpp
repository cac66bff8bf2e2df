#include "lookup/Catalogue.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quelvo::lookup {

namespace {

std::string_view StripBom(std::string_view text)
{
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return text;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32)
        text.remove_suffix(1);
    return text;
}

// Calls f for each line without its end (LF, CR LF or CR).
template<typename F>
void ForEachLine(std::string_view text, F f)
{
    std::size_t lineNo = 0;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        ++lineNo;
        f(line, lineNo);
        if (end == std::string_view::npos)
            break;
        std::size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        text.remove_prefix(next);
    }
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

std::string ReadFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw CatalogueError("Cannot open \"" + file.string() + "\"");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw CatalogueError("Cannot read \"" + file.string() + "\"");
    return text;
}

}  // namespace

std::string_view LicenceText(Licence licence)
{
    switch (licence) {
    case Licence::OpenSource: return "open source";
    case Licence::Free: return "free";
    case Licence::Paid: return "paid";
    }
    return "free";
}

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t seed)
{
    std::uint64_t hash = seed;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

Catalogue Catalogue::FromText(std::string_view catalogueText, std::string_view libraryText)
{
    Catalogue cat;
    libraryText = StripBom(libraryText);
    catalogueText = StripBom(catalogueText);
    cat.m_fingerprint = Fnv1a(catalogueText, Fnv1a(libraryText));

    std::unordered_map<std::string, std::size_t> groupIndex;
    bool inGroup = false;
    std::size_t current = 0;
    ForEachLine(libraryText, [&](std::string_view line, std::size_t) {
        if (line.empty())
            return;
        if (line.find("==") != std::string_view::npos) {
            std::string name;
            for (std::size_t i = 0; i < line.size();) {
                if (line.compare(i, 2, "==") == 0) {
                    name += ' ';
                    i += 2;
                } else {
                    name += line[i++];
                }
            }
            const std::string group(Trim(name));
            const auto [it, added] = groupIndex.emplace(group, cat.m_groups.size());
            if (added)
                cat.m_groups.emplace_back(group, std::vector<std::string>{});
            current = it->second;
            inGroup = true;
            return;
        }
        if (!inGroup)
            return;
        cat.m_groups[current].second.emplace_back(line);
        cat.m_groupOfExtension.emplace(AsciiLower(line), current);
    });

    std::unordered_map<std::string, std::size_t> seenIds;
    std::unordered_map<std::string, std::size_t> seenNames;
    ForEachLine(catalogueText, [&](std::string_view line, std::size_t lineNo) {
        if (Trim(line).empty() || line.front() == '#')
            return;
        const std::string where = "catalogue line " + std::to_string(lineNo) + ": ";
        const std::vector<std::string_view> fields = Split(line, '\t');
        if (fields.size() != 6)
            throw CatalogueError(where + "expected 6 tab-separated fields, found " + std::to_string(fields.size()));
        Application app;
        app.name = Trim(fields[0]);
        app.publisher = Trim(fields[1]);
        app.homePage = Trim(fields[2]);
        const std::string_view licence = Trim(fields[3]);
        if (licence == "open source")
            app.licence = Licence::OpenSource;
        else if (licence == "free")
            app.licence = Licence::Free;
        else if (licence == "paid")
            app.licence = Licence::Paid;
        else
            throw CatalogueError(where + "unknown licence \"" + std::string(licence) + "\"");
        app.wingetId = Trim(fields[4]);
        if (app.name.empty())
            throw CatalogueError(where + "no name");
        if (!app.homePage.empty() && app.homePage.rfind("https://", 0) != 0)
            throw CatalogueError(where + "the home page is not an https address");
        if (!seenNames.emplace(AsciiLower(app.name), lineNo).second)
            throw CatalogueError(where + "\"" + app.name + "\" is listed twice");
        if (!app.wingetId.empty() && !seenIds.emplace(AsciiLower(app.wingetId), lineNo).second)
            throw CatalogueError(where + "winget id \"" + app.wingetId + "\" is listed twice");
        for (const std::string_view raw : Split(fields[5], ',')) {
            const std::string_view item = Trim(raw);
            if (item.empty())
                continue;
            if (item.front() == '[' && item.back() == ']' && item.size() > 2) {
                // A group this library lacks opens nothing here, but another
                // library may have it.
                app.groups.emplace_back(Trim(item.substr(1, item.size() - 2)));
            } else {
                app.extensions.push_back(AsciiLower(item));
            }
        }
        const std::size_t index = cat.m_apps.size();
        for (const std::string& ext : app.extensions) {
            auto& list = cat.m_direct[ext];
            if (list.empty() || list.back() != index)
                list.push_back(index);
        }
        for (const std::string& group : app.groups)
            cat.m_byGroup[group].push_back(index);
        cat.m_apps.push_back(std::move(app));
    });
    // Every answer is worked out once; the pages only look them up.
    for (const auto& [key, apps] : cat.m_direct)
        cat.m_found.emplace(key, cat.Merge(key));
    for (const auto& [key, group] : cat.m_groupOfExtension)
        if (cat.m_found.find(key) == cat.m_found.end())
            cat.m_found.emplace(key, cat.Merge(key));
    return cat;
}

Recommendation Catalogue::Merge(const std::string& key) const
{
    Recommendation found;
    std::vector<std::size_t> indices;
    if (const auto direct = m_direct.find(key); direct != m_direct.end())
        indices = direct->second;
    if (const auto group = m_groupOfExtension.find(key); group != m_groupOfExtension.end()) {
        found.group = m_groups[group->second].first;
        if (const auto apps = m_byGroup.find(found.group); apps != m_byGroup.end())
            indices.insert(indices.end(), apps->second.begin(), apps->second.end());
    }
    // Catalogue order, each application once.
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    found.apps.reserve(indices.size());
    for (const std::size_t i : indices)
        found.apps.push_back(&m_apps[i]);
    return found;
}

const Recommendation& Catalogue::Find(std::string_view extension) const
{
    static const Recommendation unknown;
    const auto found = m_found.find(AsciiLower(extension));
    return found == m_found.end() ? unknown : found->second;
}

Catalogue LoadCatalogueFiles(const std::filesystem::path& catalogueFile, const std::filesystem::path& libraryFile)
{
    const std::string library = ReadFile(libraryFile);
    const std::string catalogue = ReadFile(catalogueFile);
    try {
        return Catalogue::FromText(catalogue, library);
    } catch (const CatalogueError& e) {
        throw CatalogueError("\"" + catalogueFile.string() + "\", " + e.what());
    }
}

}  // namespace quelvo::lookup
