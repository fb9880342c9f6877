#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace clackery {

// The whole file when its size is within [min_size, max_size]; nothing otherwise (missing,
// unreadable, too small or too large). Callers check what the path is before: opening a FIFO
// or a device would block.
std::optional<std::string> read_bounded_file(const std::filesystem::path &path, std::uintmax_t min_size,
					     std::uintmax_t max_size);

} // namespace clackery
