#pragma once
// Small builders of layout and description documents for the reader tests.

#include <string>

// A layout document with one row of keys given as raw JSON objects.
inline std::string layout_with_keys(const std::string &keys)
{
	return R"({"rows":[{"keys":[)" + keys + "]}]}";
}

inline std::string key(const std::string &code, const std::string &label = "x", const std::string &shift = "")
{
	return R"({"code":")" + code + R"(","label":")" + label + R"(","shift":")" + shift + R"("})";
}

// `count` keys with distinct codes K0, K1, ...
inline std::string many_keys(int count)
{
	std::string keys;
	for (int i = 0; i < count; ++i)
		keys += (i ? "," : "") + key("K" + std::to_string(i));
	return keys;
}
