// clackery_soundgen OUT_DIR          writes every sound pack into OUT_DIR/<pack>/
// clackery_soundgen --check OUT_DIR  verifies what is there against a fresh render
#include "check.h"
#include "packs.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

namespace {

namespace fs = std::filesystem;

bool write_packs(const fs::path &root)
{
	for (const soundgen::GeneratedFile &file : soundgen::generate_all()) {
		const fs::path path = root / fs::path(file.path);
		std::error_code ec;
		fs::create_directories(path.parent_path(), ec);
		if (ec) {
			std::cerr << "clackery_soundgen: cannot create " << path.parent_path().string() << ": "
				  << ec.message() << "\n";
			return false;
		}
		std::ofstream out(path, std::ios::binary | std::ios::trunc);
		out.write(reinterpret_cast<const char *>(file.bytes.data()),
			  static_cast<std::streamsize>(file.bytes.size()));
		out.close();
		if (!out) {
			std::cerr << "clackery_soundgen: cannot write " << path.string() << "\n";
			return false;
		}
	}
	return true;
}

} // namespace

int main(int argc, char **argv)
{
	const std::string usage = "usage: clackery_soundgen [--check] OUT_DIR\n";
	if (argc == 2 && std::string(argv[1]) != "--check") {
		return write_packs(fs::path(argv[1])) ? 0 : 1;
	}
	if (argc == 3 && std::string(argv[1]) == "--check") {
		return soundgen::check_packs(fs::path(argv[2]), std::cout) ? 0 : 1;
	}
	std::cerr << usage;
	return 2;
}
