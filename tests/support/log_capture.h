#pragma once
// Collects the host log lines written while it lives, so tests can assert on exact lines.

#include <util/base.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

struct LoggedLine {
	int level;
	std::string text;
};

class LogCapture {
public:
	LogCapture()
	{
		base_get_log_handler(&previous_, &previous_param_);
		base_set_log_handler(&LogCapture::handle, this);
	}
	~LogCapture() { base_set_log_handler(previous_, previous_param_); }
	LogCapture(const LogCapture &) = delete;
	LogCapture &operator=(const LogCapture &) = delete;

	const std::vector<LoggedLine> &lines() const { return lines_; }

	int count(int level, const std::string &text) const
	{
		return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const LoggedLine &line) {
			return line.level == level && line.text == text;
		}));
	}

private:
	static void handle(int level, const char *format, va_list args, void *param)
	{
		char text[4096];
		std::vsnprintf(text, sizeof(text), format, args);
		static_cast<LogCapture *>(param)->lines_.push_back({level, text});
	}

	log_handler_t previous_ = nullptr;
	void *previous_param_ = nullptr;
	std::vector<LoggedLine> lines_;
};
