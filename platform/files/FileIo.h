#pragma once

// File helpers of the file-backed stores: whole-file reads, and replacing a
// file so that a crash at any moment leaves either the old or the new
// content under its name, never a mixture.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace quelvo::platform::files {

bool ReadWholeFile(const std::filesystem::path& file, std::string* bytes, std::string* error);
bool WriteAll(int fd, std::string_view bytes);
// Makes a folder's entries (a new or renamed file) durable.
bool FlushFolder(const std::filesystem::path& folder);

// The steps of a replacement, in order. A test seam may stop the replacement
// before any of them, as a crash would (nothing is cleaned up then).
enum class ReplaceStep { CreateTemporary, Write, Flush, Close, Rename, FlushFolder };
using ReplaceHook = std::function<bool(ReplaceStep)>;

// Writes `bytes` to a new file in the same folder (with the old file's
// permissions), flushes it to disk, renames it over `file` and flushes the
// folder. On failure the temporary file is removed and `file` is untouched.
// `write` may replace the writing step (a hive is committed by hivex).
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes, std::string* error,
                 const ReplaceHook& hook = {});
bool ReplaceFileWith(const std::filesystem::path& file,
                     const std::function<bool(const std::filesystem::path& temporary, std::string* error)>& write,
                     std::string* error, const ReplaceHook& hook = {});

}  // namespace quelvo::platform::files
