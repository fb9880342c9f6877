#pragma once
// Layout files: "<id>.json" in the data folder "layouts". These take the folder as found by
// the core's data-file lookup; an empty path means that the host has no such folder.

#include "common/records.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace clackery {

constexpr const char *kDefaultLayoutId = "jis_tkl";

// The entries of one layout file, or none when it is missing, not a regular file, empty,
// larger than 1 MiB, unreadable or refused by the layout reader.
std::vector<LayoutEntry> read_layout_file(const std::filesystem::path &file);

// The entries of layout `id` in `layouts_dir`; none for an id that breaks the id rule or a file
// that is a link leading out of the folder.
std::vector<LayoutEntry> load_layout_from(const std::filesystem::path &layouts_dir, std::string_view id);

// The ids of every usable layout in `layouts_dir`, in byte order; "jis_tkl" alone when none.
std::vector<std::string> list_layouts_in(const std::filesystem::path &layouts_dir);

} // namespace clackery
