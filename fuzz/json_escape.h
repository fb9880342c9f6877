#pragma once
// Writes a UTF-8 string back as a JSON string literal, so that what a reader returned can be
// fed to it again.

#include <cstdio>
#include <string>

inline std::string json_quote(const std::string &text)
{
	std::string out = "\"";
	for (char c : text) {
		const auto byte = static_cast<unsigned char>(c);
		if (c == '"' || c == '\\') {
			out += '\\';
			out += c;
		} else if (byte < 0x20) {
			char escape[8];
			std::snprintf(escape, sizeof(escape), "\\u%04x", byte);
			out += escape;
		} else {
			out += c;
		}
	}
	return out + "\"";
}
