#include "lookup/Page.h"

namespace quelvo::lookup {

namespace {

// The program's blues: the page ground, the section band and the headings.
constexpr std::string_view kStyle =
    "html{background:#E4EEF9}"
    "body{margin:0;padding:8px 10px;color:#1B2A3D;font:13px/1.35 Tahoma,Verdana,\"Segoe UI\",sans-serif;"
    "word-wrap:break-word;overflow-wrap:anywhere}"
    "h1{margin:0 0 8px;font-size:16px;color:#123E7C}"
    "h2{margin:0;font-size:14px;color:#123E7C}"
    "section{background:#D6E7F9;border:1px solid #A9C6EA;border-radius:4px;margin:0 0 8px;padding:6px 8px}"
    ".group{margin:0 0 4px;color:#35557F;font-size:12px}"
    "ul{list-style:none;margin:0;padding:0}"
    "li{background:#F5F9FE;border:1px solid #C5D9F1;border-radius:3px;margin:4px 0 0;padding:4px 6px}"
    "a{color:#0B4FA3;font-weight:bold}"
    ".name{font-weight:bold}"
    ".by{color:#4A5E78}"
    ".lic{display:inline-block;font-size:11px;padding:0 6px;border-radius:8px;color:#fff;background:#5A7FB0}"
    ".lic-open{background:#2E7D4F}.lic-paid{background:#9A5A12}"
    "code{display:block;margin-top:2px;font:12px Consolas,\"Courier New\",monospace;color:#123E7C}"
    ".none{margin:2px 0 0}"
    "p{margin:0 0 6px}";

void Head(std::string& out, std::string_view title)
{
    // The engine mode comes before anything but other meta elements.
    out += "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
           "<meta name=\"viewport\" content=\"width=device-width\"><title>";
    AppendEscaped(out, title);
    out += "</title><link rel=\"stylesheet\" href=\"";
    out += kStylePath;
    out += "\"></head><body>\n";
}

void Foot(std::string& out) { out += "</body></html>\n"; }

std::string_view LicenceClass(Licence licence)
{
    switch (licence) {
    case Licence::OpenSource: return "lic lic-open";
    case Licence::Paid: return "lic lic-paid";
    case Licence::Free: break;
    }
    return "lic";
}

void AppItem(std::string& out, const Application& app)
{
    out += "<li>";
    if (!app.homePage.empty()) {
        out += "<a href=\"";
        AppendEscaped(out, app.homePage);
        out += "\">";
        AppendEscaped(out, app.name);
        out += "</a>";
    } else {
        out += "<span class=\"name\">";
        AppendEscaped(out, app.name);
        out += "</span>";
    }
    if (!app.publisher.empty()) {
        out += " <span class=\"by\">by ";
        AppendEscaped(out, app.publisher);
        out += "</span>";
    }
    out += " <span class=\"";
    out += LicenceClass(app.licence);
    out += "\">";
    out += LicenceText(app.licence);
    out += "</span>";
    if (!app.wingetId.empty()) {
        out += "<code>winget install --id ";
        AppendEscaped(out, app.wingetId);
        out += " -e</code>";
    }
    out += "</li>\n";
}

}  // namespace

std::string_view StyleSheet() { return kStyle; }

void AppendEscaped(std::string& out, std::string_view text)
{
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string_view entity;
        switch (text[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&#39;"; break;
        default: continue;
        }
        out.append(text, from, i - from);
        out += entity;
        from = i + 1;
    }
    out.append(text, from, std::string_view::npos);
}

std::string HtmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text);
    return out;
}

std::string BuildLookupPage(const Catalogue& catalogue, const std::vector<std::string>& extensions)
{
    std::string title = "Applications for ";
    for (std::size_t i = 0; i < extensions.size(); ++i) {
        if (i > 0)
            title += ", ";
        title += '.';
        title += extensions[i];
    }
    std::string out;
    out.reserve(2048 + extensions.size() * 1024);
    Head(out, title);
    out += "<h1>";
    AppendEscaped(out, title);
    out += "</h1>\n";
    for (const std::string& ext : extensions) {
        const Recommendation& found = catalogue.Find(ext);
        out += "<section><h2>.";
        AppendEscaped(out, ext);
        out += "</h2><p class=\"group\">";
        if (found.group.empty()) {
            out += "Type: not in the file type library";
        } else {
            out += "Type: ";
            AppendEscaped(out, found.group);
        }
        out += "</p>\n";
        if (found.apps.empty()) {
            out += "<p class=\"none\">We know no application for .";
            AppendEscaped(out, ext);
            out += " files yet.</p>\n";
        } else {
            out += "<ul>\n";
            for (const Application* app : found.apps)
                AppItem(out, *app);
            out += "</ul>\n";
        }
        out += "</section>\n";
    }
    Foot(out);
    return out;
}

std::string BuildIndexPage(const Catalogue& catalogue)
{
    std::string out;
    Head(out, "Quelvo application lookup");
    out += "<h1>Quelvo application lookup</h1>\n<section><p>This service recommends applications that open a "
           "file type. Ask it for one or more extensions, without their dot:</p>"
           "<code>/ext/file_ext.php?ext[]=mp3&amp;ext[]=avi</code></section>\n<section><h2>Type groups</h2><ul>\n";
    for (const auto& [group, extensions] : catalogue.Groups()) {
        out += "<li><span class=\"name\">";
        AppendEscaped(out, group);
        out += "</span> <span class=\"by\">";
        out += std::to_string(extensions.size());
        out += " extensions</span></li>\n";
    }
    out += "</ul></section>\n<p class=\"group\">";
    out += std::to_string(catalogue.Applications().size());
    out += " applications in the catalogue.</p>\n";
    Foot(out);
    return out;
}

std::string BuildErrorPage(int status, std::string_view reason, std::string_view message)
{
    std::string out;
    const std::string title = std::to_string(status) + " " + std::string(reason);
    Head(out, title);
    out += "<h1>";
    AppendEscaped(out, title);
    out += "</h1>\n<section><p>";
    AppendEscaped(out, message);
    out += "</p></section>\n";
    Foot(out);
    return out;
}

}  // namespace quelvo::lookup
