#pragma once

// What the embedded browser of the lookup page may load. It runs inside a
// program with more rights than its user (root, an elevated process), so it
// shows the lookup page and what that page loads from its own origin, and
// nothing else; every other address goes to the user's own browser. Written
// once for both front ends.

#include <optional>
#include <string>
#include <string_view>

namespace quelvo::frontend {

// How the embedded view came to be asked for an address.
enum class TLoadKind {
    Page,       // the view's own page: the program's navigation, a link, a form, history
    Redirect,   // the server or the page itself sends the view's page elsewhere
    Frame,      // a frame inside the page
    Resource,   // a picture, style sheet or script the page loads
    NewWindow,  // the page asks for a window of its own
};

// The origin of an http or https address: scheme and host in lower case,
// port explicit. None for other schemes, user names or passwords in the
// address, or an authority that does not parse.
struct TOrigin {
    std::u16string scheme;
    std::u16string host;
    unsigned port = 0;
    friend bool operator==(const TOrigin&, const TOrigin&) = default;
};
std::optional<TOrigin> OriginOf(std::u16string_view address);

// Same origin, and the same path and query once percent-escapes are
// decoded; the fragment does not count.
bool IsSameDocument(std::u16string_view a, std::u16string_view b);

// The rule: the view's page may only be the lookup address itself (a
// redirect may stay within its origin); frames and resources come from the
// lookup address's origin; new windows are never opened.
bool EmbeddedViewMayLoad(std::u16string_view lookupAddress, std::u16string_view target, TLoadKind kind);

// Whether a refused address is handed to the user's browser: a page, a
// redirect or a window the user would see. Frames and resources are only
// refused.
bool HandsRefusedLoadToDesktop(TLoadKind kind);

}  // namespace quelvo::frontend
