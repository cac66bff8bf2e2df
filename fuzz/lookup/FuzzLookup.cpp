// Query parsing and page building of the lookup service. The first byte
// picks what the rest is: a query for the lookup page (most inputs), a
// whole request path and query, or a catalogue text.

#include "lookup/Catalogue.h"
#include "lookup/Page.h"
#include "lookup/Query.h"
#include "lookup/Respond.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

using namespace quelvo::lookup;

namespace {

std::string ReadAll(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::string& Library()
{
    static const std::string text = ReadAll(QUELVO_FILETYPE_LIB);
    return text;
}

const Catalogue& Shipped()
{
    static const Catalogue catalogue = Catalogue::FromText(ReadAll(QUELVO_LOOKUP_CATALOGUE), Library());
    return catalogue;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// What came from the request may appear in the page only escaped.
void CheckPage(const Catalogue& catalogue, std::string_view rawQuery)
{
    const Query query = ParseQuery(rawQuery);
    const Reply reply = Respond(catalogue, "GET", kLookupPath, rawQuery);
    if (query.error != QueryError::None) {
        Check(reply.status == 400);
        return;
    }
    Check(reply.status == 200);
    Check(query.extensions.size() <= kMaxExtensions);
    std::size_t at = 0;
    for (const std::string& ext : query.extensions) {
        Check(!ext.empty() && Utf16Length(ext) <= kMaxExtensionUnits);
        const std::string escaped = HtmlEscape(ext);
        Check(escaped.find_first_of("<>\"'") == std::string::npos);
        at = reply.body.find("<h2>." + escaped + "</h2>", at);
        Check(at != std::string::npos);  // each section, in the order asked
    }
    Check(reply.body.find("<script") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 8) {
    case 6: {
        const std::size_t mark = rest.find('?');
        const std::string_view path = rest.substr(0, mark);
        const std::string_view query = mark == std::string_view::npos ? std::string_view{} : rest.substr(mark + 1);
        const Reply reply = Respond(Shipped(), (data[0] & 0x80) ? "POST" : "GET", path, query, query);
        Check(reply.status >= 200 && reply.status < 500);
        break;
    }
    case 7:
        try {
            const Catalogue catalogue = Catalogue::FromText(rest, Library());
            CheckPage(catalogue, "ext[]=mp3&ext[]=txt&ext[]=zz");
            (void)BuildIndexPage(catalogue);
        } catch (const CatalogueError&) {
        }
        break;
    default:
        CheckPage(Shipped(), rest);
    }
    return 0;
}
