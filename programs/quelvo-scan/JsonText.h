#pragma once

// Texts and paths in the JSON report (ReportWriters.h): a registry text
// holding a lone surrogate is given exactly beside it under "utf16", a path
// whose bytes are not UTF-8 under "bytes".

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quelvo::scancli {

using Json = nlohmann::ordered_json;

void PutText(Json& object, const char* key, std::u16string_view text);
void PutOptionalText(Json& object, const char* key, const std::optional<std::u16string>& text);
void PutPath(Json& object, const char* key, const std::filesystem::path& path);
// Text read from files as bytes (names, lines, messages naming paths):
// bytes that are not UTF-8 are given beside it under "bytes".
void PutBytesText(Json& object, const char* key, std::string_view bytes);

}  // namespace quelvo::scancli
