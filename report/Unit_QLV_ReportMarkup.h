#pragma once

// Safe insertion of names into report markup. Extension and group names come
// from the registry and the library file, so they may hold any character.
//
// Shown text (EscapeMarkupText) displays literally under the markup engine's
// rules: "<" and ">" become "&lt;"/"&gt;" (replaced inside text runs), "&"
// becomes "&&" (the mnemonic escape; the output never contains " & ", so the
// engine always reads "&&" as one "&"), and an "&" followed by a letter, digit
// or "#" gets an empty unknown tag "<X>" after its "&&", which the engine drops,
// so that no entity ("&amp;", "&quot;", "&lt;", "&nbsp;" ...) can be formed.
// Control characters would become line breaks or tabs; they show as their
// Unicode control pictures (U+2400 + code, U+2421 for DEL).
//
// Link targets (EncodeLinkTarget) percent-encode "%", "\"", "<", ">", "&",
// ":" and control characters, so a target can neither leave its attribute or
// tag, nor contain "://" or "mailto:" (which the list box would hand to the
// desktop). DecodeLinkTarget undoes exactly that.
//
// Letters, digits, dots and spaces pass unchanged through both.

#include <string>
#include <string_view>

namespace quelvo::report {

std::u16string EscapeMarkupText(std::u16string_view text);
std::u16string EncodeLinkTarget(std::u16string_view text);
std::u16string DecodeLinkTarget(std::u16string_view target);

}  // namespace quelvo::report
