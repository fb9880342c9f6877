#include "layouts/layout_files.h"

#include "common/files.h"

#include "common/ids.h"
#include "layouts/layout_document.h"

#include <algorithm>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

namespace clackery {
namespace {

// A layout is read only from the folder itself: a link may name another layout beside it, but
// one that leads out of the folder is refused like a missing file.
bool lies_in_folder(const fs::path &layouts_dir, const fs::path &file)
{
	const std::optional<fs::path> folder = resolved_path(layouts_dir);
	const std::optional<fs::path> real = resolved_path(file);
	return folder && real && real->parent_path() == *folder;
}

std::vector<LayoutEntry> read_layout_in(const fs::path &layouts_dir, const fs::path &file)
{
	return lies_in_folder(layouts_dir, file) ? read_layout_file(file) : std::vector<LayoutEntry>{};
}

bool ends_with(const std::string &text, std::string_view suffix)
{
	return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

std::vector<LayoutEntry> read_layout_file(const fs::path &file)
{
	// Opening a FIFO or a device would block the UI thread; only plain files are read.
	std::error_code ec;
	if (!fs::is_regular_file(file, ec))
		return {};
	const std::optional<std::string> text = read_bounded_file(file, 1, kMaxLayoutDocumentBytes);
	if (!text)
		return {};
	return read_layout_document(*text);
}

std::vector<LayoutEntry> load_layout_from(const fs::path &layouts_dir, std::string_view id)
{
	const std::string name = std::string(id) + ".json";
	if (layouts_dir.empty() || !is_valid_id(id) || !has_entry_named(layouts_dir, name))
		return {};
	return read_layout_in(layouts_dir, layouts_dir / path_from_utf8(name));
}

std::vector<std::string> list_layouts_in(const fs::path &layouts_dir)
{
	std::vector<std::string> ids;
	if (!layouts_dir.empty()) {
		std::error_code ec;
		// An error while walking keeps what was found so far.
		for (fs::directory_iterator it(layouts_dir, ec), end; !ec && it != end; it.increment(ec)) {
			std::error_code type_ec;
			const std::optional<std::string> name = entry_name_utf8(it->path());
			if (!name || !it->is_regular_file(type_ec) || !ends_with(*name, ".json"))
				continue;
			std::string stem = name->substr(0, name->size() - 5);
			if (is_valid_id(stem) && !read_layout_in(layouts_dir, it->path()).empty())
				ids.push_back(std::move(stem));
		}
	}
	std::sort(ids.begin(), ids.end());
	if (ids.empty())
		ids.emplace_back(kDefaultLayoutId);
	return ids;
}

} // namespace clackery
