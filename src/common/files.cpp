#include "common/files.h"

#include <fstream>

namespace clackery {

std::optional<std::string> read_bounded_file(const std::filesystem::path &path, std::uintmax_t min_size,
					     std::uintmax_t max_size)
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

} // namespace clackery
