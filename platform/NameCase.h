#pragma once

// Case rule of registry key names, value names and file names, as Windows and
// Wine apply it: each UTF-16 unit is mapped through the simple upper-case
// mapping of its character (one unit to one unit: "ä" and "Ä", "σ", "ς" and
// "Σ", "ж" and "Ж" are the same letter; "ß" stays "ß"; surrogates stay as they
// are), and names compare unit by unit after that mapping. The tables are the
// BMP's simple mappings, committed (CaseTables.inc) so that every build and
// every host agrees.
//
// The scan's own text rules (Text.h: A-Z only) are a different thing and
// stay as they are.

#include <string>
#include <string_view>

namespace quelvo::platform {

char16_t UpperUnit(char16_t unit);
char16_t LowerUnit(char16_t unit);

// Every unit mapped by UpperUnit: the key under which names are looked up.
std::u16string ToUpperName(std::u16string_view name);

bool NamesEqual(std::u16string_view a, std::u16string_view b);
// <0, 0, >0 as a sorts before, with or after b in the upper-cased order.
int CompareNames(std::u16string_view a, std::u16string_view b);
inline bool NameLess(std::u16string_view a, std::u16string_view b) { return CompareNames(a, b) < 0; }

}  // namespace quelvo::platform
