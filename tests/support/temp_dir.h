#pragma once
// A fresh folder for one test, removed with everything in it afterwards.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempDir {
public:
	TempDir()
	{
		std::random_device seed;
		path_ = std::filesystem::temp_directory_path() /
			("clackery-test-" + std::to_string(seed()) + std::to_string(seed()));
		std::filesystem::create_directories(path_);
	}
	~TempDir()
	{
		std::error_code ec;
		std::filesystem::remove_all(path_, ec);
	}
	TempDir(const TempDir &) = delete;
	TempDir &operator=(const TempDir &) = delete;

	const std::filesystem::path &path() const { return path_; }
	// Names are UTF-8, as in our ids; on Windows a char path would be read in the ANSI code page.
	std::filesystem::path operator/(const std::string &name) const { return path_ / std::filesystem::u8path(name); }

private:
	std::filesystem::path path_;
};

inline void write_file(const std::filesystem::path &path, const std::string &bytes)
{
	std::filesystem::create_directories(path.parent_path());
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_file(const std::filesystem::path &path)
{
	std::ifstream in(path, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
