#pragma once

// The application catalogue of the lookup service: which applications open
// which file types. Toolkit-free and without any I/O of its own apart from
// LoadCatalogueFiles, so that both front ends and the fuzzer can embed it.
//
// Catalogue text (UTF-8, an optional byte-order mark, LF or CR LF): lines
// starting with '#' and empty lines are ignored; every other line is one
// application with six tab-separated fields:
//   name, publisher, home page, licence, winget id, opens
// The licence is "open source", "free" or "paid". "opens" lists extensions
// without their dot and type groups in brackets ("[Audio]"), separated by
// commas. Extensions compare without regard to ASCII letter case.
//
// Library text: the file type library (FileType_lib.txt): "==Group==" lines
// start a group, every other non-empty line is an extension of it; the first
// group named for an extension wins.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quelvo::lookup {

enum class Licence { OpenSource, Free, Paid };

std::string_view LicenceText(Licence licence);

struct Application {
    std::string name;
    std::string publisher;
    std::string homePage;  // empty when unknown
    Licence licence = Licence::Free;
    std::string wingetId;  // empty when there is none
    std::vector<std::string> extensions;  // lower case, without the dot
    std::vector<std::string> groups;      // type group names as in the library
};

// A line of the catalogue that cannot be read; the message names the line.
class CatalogueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the page shows for one extension.
struct Recommendation {
    std::string group;                         // empty: not in the library
    std::vector<const Application*> apps;      // its own and its group's, in catalogue order
};

class Catalogue {
public:
    // Its answers point into its own list of applications: moved, never copied.
    Catalogue(Catalogue&&) = default;
    Catalogue& operator=(Catalogue&&) = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Throws CatalogueError on a malformed catalogue line (wrong field count,
    // unknown licence, a home page that is not https, a duplicate winget id
    // or name). A group the library does not name opens nothing.
    static Catalogue FromText(std::string_view catalogueText, std::string_view libraryText);

    const std::vector<Application>& Applications() const { return m_apps; }

    // The library's groups in file order, each with its extensions as written.
    const std::vector<std::pair<std::string, std::vector<std::string>>>& Groups() const { return m_groups; }

    // The recommendation for an extension (any case, without its dot); an
    // extension neither the library nor the catalogue knows gives an empty one.
    // The reference stays valid as long as the catalogue.
    const Recommendation& Find(std::string_view extension) const;

    // A stable number for this catalogue's contents, for the pages' ETags.
    std::uint64_t Fingerprint() const { return m_fingerprint; }

private:
    Catalogue() = default;
    Recommendation Merge(const std::string& key) const;

    std::vector<Application> m_apps;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_groups;
    std::unordered_map<std::string, std::size_t> m_groupOfExtension;  // lower-case ext -> group index
    std::unordered_map<std::string, std::vector<std::size_t>> m_direct;  // lower-case ext -> apps
    std::unordered_map<std::string, std::vector<std::size_t>> m_byGroup;  // group -> apps
    std::unordered_map<std::string, Recommendation> m_found;  // lower-case ext -> answer
    std::uint64_t m_fingerprint = 0;
};

// The catalogue file's name inside the program directory and the resources.
inline constexpr std::string_view kCatalogueFileName = "lookup_catalogue.tsv";
inline constexpr std::string_view kLibraryFileName = "FileType_lib.txt";

// Reads both files; throws CatalogueError (naming the file) when one cannot
// be read or parsed.
Catalogue LoadCatalogueFiles(const std::filesystem::path& catalogueFile, const std::filesystem::path& libraryFile);

std::string AsciiLower(std::string_view text);

// 64-bit FNV-1a, continued from seed.
std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t seed = 14695981039346656037ull);

}  // namespace quelvo::lookup
