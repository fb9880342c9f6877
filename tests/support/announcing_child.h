#pragma once
// A helper process of the tests (a private X server, a private bus) that says where it listens
// with one line on a pipe: started, that line read with a deadline, ended by a signal.

#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace clackery {

class AnnouncingChild {
public:
	AnnouncingChild() = default;
	AnnouncingChild(const AnnouncingChild &) = delete;
	AnnouncingChild &operator=(const AnnouncingChild &) = delete;
	~AnnouncingChild() { stop(SIGTERM); }

	// Runs `args` (found on PATH) with its output on /dev/null but for its announcement, which
	// comes on standard output, or on the pipe whose number replaces each `fdMark` in `args` when
	// that is not empty. The announcement's first line, or empty (the child killed) when none
	// came within `timeoutMs`.
	std::string start(std::vector<std::string> args, const std::string &fdMark, int timeoutMs)
	{
		int fds[2];
		if (pipe(fds) != 0)
			return {};
		for (std::string &arg : args)
			if (!fdMark.empty() && arg == fdMark)
				arg = std::to_string(fds[1]);
		// Made before fork: the child only calls what is safe between fork and exec.
		std::vector<char *> argv;
		for (std::string &arg : args)
			argv.push_back(arg.data());
		argv.push_back(nullptr);
		const bool onStdout = fdMark.empty();
		pid_ = fork();
		if (pid_ == 0) {
			close(fds[0]);
			const int null = open("/dev/null", O_WRONLY);
			dup2(onStdout ? fds[1] : null, 1);
			dup2(null, 2);
			execvp(argv[0], argv.data());
			_exit(127);
		}
		close(fds[1]);
		std::string text;
		char buffer[256];
		pollfd ready{fds[0], POLLIN, 0};
		while (pid_ > 0 && text.find('\n') == std::string::npos && poll(&ready, 1, timeoutMs) > 0) {
			const ssize_t got = read(fds[0], buffer, sizeof(buffer));
			if (got <= 0)
				break;
			text.append(buffer, static_cast<std::size_t>(got));
		}
		close(fds[0]);
		if (text.find('\n') == std::string::npos) {
			stop(SIGKILL);
			return {};
		}
		return text.substr(0, text.find('\n'));
	}

	// SIGKILL stands for a server that vanishes without a word.
	void stop(int signal)
	{
		if (pid_ <= 0)
			return;
		kill(pid_, signal);
		waitpid(pid_, nullptr, 0);
		pid_ = -1;
	}

private:
	pid_t pid_ = -1;
};

} // namespace clackery
