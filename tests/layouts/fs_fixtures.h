#pragma once
// Folder fixtures for the data-file readers: links and FIFOs (POSIX only), and a guard that
// turns a reader blocked on a FIFO into a failed test instead of a hung one.

#include "support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <future>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define CLACKERY_HAVE_FIFOS 1
#endif

#if defined(CLACKERY_HAVE_FIFOS)
inline void make_fifo(const std::filesystem::path &path)
{
	std::filesystem::create_directories(path.parent_path());
	::mkfifo(path.c_str(), 0600);
}

// Runs `work`; when it is still running after a few seconds (stuck opening `fifo` for
// reading), opens the write end so that it can finish, and reports false.
template <typename Work> bool finishes_without_blocking(const std::filesystem::path &fifo, Work work)
{
	auto done = std::async(std::launch::async, work);
	if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
		return true;
	const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
	if (fd >= 0)
		::close(fd);
	done.wait();
	return false;
}
#endif
