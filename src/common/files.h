#pragma once
// Reading the module's data and settings files, and naming them, the same way on every platform.
// libobs hands out UTF-8 paths; Windows names files in UTF-16 and reads a path built from a char
// string in the ANSI code page, so every path crosses between the two through these helpers.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace clackery {

// The whole file when its size is within [min_size, max_size]; nothing otherwise (missing,
// unreadable, too small or too large). Callers check what the path is before: opening a FIFO
// or a device would block.
std::optional<std::string> read_bounded_file(const std::filesystem::path &path, std::uintmax_t min_size,
					     std::uintmax_t max_size);

// A path from UTF-8 text, as libobs and our ids give them (a Japanese user name stays intact).
std::filesystem::path path_from_utf8(std::string_view utf8);

// The path as UTF-8; nothing when it has no UTF-8 form: an unpaired UTF-16 surrogate on Windows
// (where the library's own conversion throws), bytes that are not UTF-8 elsewhere.
std::optional<std::string> path_to_utf8(const std::filesystem::path &path);

// The file name of a folder entry as UTF-8, or nothing. Every directory walk skips an entry
// without one: it could not be named to the page or in the settings.
std::optional<std::string> entry_name_utf8(const std::filesystem::path &entry);

// What `path` itself is, links not followed. Symbolic links and junctions are file_type::symlink
// on every platform and standard library (Microsoft's reports junctions apart, mingw's sees no
// link at all). file_type::none when it cannot be queried, not_found when it is absent.
std::filesystem::file_type own_file_type(const std::filesystem::path &path);

// The canonical path, links resolved; nothing on error, and nothing for a link that the standard
// library returned unresolved (mingw's follows none), so that a link is never taken for a plain
// entry of its folder.
std::optional<std::filesystem::path> resolved_path(const std::filesystem::path &path);

// Whether `dir` holds an entry spelled exactly `name`, byte for byte. NTFS (and Wine) find
// "US.json" when asked for "us.json"; ids are compared exactly everywhere else, so an id names
// only the entry spelled as it is, on every platform.
bool has_entry_named(const std::filesystem::path &dir, std::string_view name);

} // namespace clackery
