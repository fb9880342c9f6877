#include "common/files.h"

#include "common/text.h"

#include <fstream>
#include <system_error>

#if defined(_WIN32)
#include "common/win32.h"
#endif

namespace fs = std::filesystem;

namespace clackery {
namespace {

#if defined(_WIN32)
// Strict UTF-16 to UTF-8: an unpaired surrogate gives nothing instead of a replacement.
std::optional<std::string> utf16_to_utf8(const std::wstring &text)
{
	std::string out;
	out.reserve(text.size());
	for (std::size_t i = 0; i < text.size(); ++i) {
		const char32_t unit = static_cast<char16_t>(text[i]);
		if (unit >= 0xDC00 && unit <= 0xDFFF)
			return std::nullopt;
		if (unit < 0xD800 || unit > 0xDBFF) {
			append_utf8(out, unit);
			continue;
		}
		const char32_t low = i + 1 < text.size() ? static_cast<char16_t>(text[i + 1]) : 0;
		if (low < 0xDC00 || low > 0xDFFF)
			return std::nullopt;
		append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
		++i;
	}
	return out;
}

// Symbolic links and junctions are name-surrogate reparse points. Wine shows a Unix link as a
// reparse point with tag 0; an unknown tag is taken for a link too. Other reparse points (cloud
// placeholders) are plain files and folders.
bool is_windows_link(const fs::path &path)
{
	WIN32_FIND_DATAW found{};
	const HANDLE handle = FindFirstFileW(path.c_str(), &found);
	if (handle == INVALID_HANDLE_VALUE)
		return false;
	FindClose(handle);
	if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
		return false;
	return found.dwReserved0 == 0 || IsReparseTagNameSurrogate(found.dwReserved0);
}
#endif

} // namespace

std::optional<std::string> read_bounded_file(const fs::path &path, std::uintmax_t min_size, std::uintmax_t max_size)
{
	std::ifstream in(path, std::ios::binary | std::ios::ate);
	if (!in)
		return std::nullopt;
	const std::streamoff size = in.tellg();
	if (size < 0 || static_cast<std::uintmax_t>(size) < min_size || static_cast<std::uintmax_t>(size) > max_size)
		return std::nullopt;
	std::string bytes(static_cast<std::size_t>(size), '\0');
	in.seekg(0);
	if (!in.read(bytes.data(), size))
		return std::nullopt;
	return bytes;
}

fs::path path_from_utf8(std::string_view utf8)
{
	return fs::u8path(utf8.begin(), utf8.end());
}

std::optional<std::string> path_to_utf8(const fs::path &path)
{
#if defined(_WIN32)
	return utf16_to_utf8(path.native());
#else
	if (!is_valid_utf8(path.native()))
		return std::nullopt;
	return path.native();
#endif
}

std::optional<std::string> entry_name_utf8(const fs::path &entry)
{
	return path_to_utf8(entry.filename());
}

fs::file_type own_file_type(const fs::path &path)
{
	std::error_code ec;
	const fs::file_status status = fs::symlink_status(path, ec);
	if (ec)
		return status.type() == fs::file_type::not_found ? fs::file_type::not_found : fs::file_type::none;
	const fs::file_type type = status.type();
#if defined(_WIN32)
	// Microsoft's library has a file_type of its own for junctions; mingw's follows every link.
	if (type != fs::file_type::not_found && is_windows_link(path))
		return fs::file_type::symlink;
#endif
	return type;
}

std::optional<fs::path> resolved_path(const fs::path &path)
{
	std::error_code ec;
	fs::path real = fs::canonical(path, ec);
	if (ec)
		return std::nullopt;
	if (own_file_type(path) == fs::file_type::symlink) {
		const fs::path lexical = fs::absolute(path, ec).lexically_normal();
		if (ec || real == lexical)
			return std::nullopt;
	}
	return real;
}

bool has_entry_named(const fs::path &dir, std::string_view name)
{
	std::error_code ec;
	for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
		if (entry_name_utf8(it->path()) == name)
			return true;
	}
	return false;
}

} // namespace clackery
