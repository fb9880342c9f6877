#include "core/settings_json.h"

#include "common/qt_text.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace clackery {
namespace {

bool is_space(char c)
{
	return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::size_t skip_space(std::string_view json, std::size_t i)
{
	while (i < json.size() && is_space(json[i]))
		++i;
	return i;
}

// `i` is at an opening quote; returns the index just past the closing one.
std::size_t end_of_string(std::string_view json, std::size_t i)
{
	for (++i; i < json.size(); ++i) {
		if (json[i] == '\\')
			++i;
		else if (json[i] == '"')
			return i + 1;
	}
	return json.size();
}

// `i` is at the first byte of a value; returns the index just past its last byte.
std::size_t end_of_value(std::string_view json, std::size_t i)
{
	if (i >= json.size())
		return i;
	if (json[i] == '"')
		return end_of_string(json, i);
	if (json[i] == '{' || json[i] == '[') {
		int depth = 0;
		while (i < json.size()) {
			const char c = json[i];
			if (c == '"') {
				i = end_of_string(json, i);
				continue;
			}
			if (c == '{' || c == '[')
				++depth;
			else if ((c == '}' || c == ']') && --depth == 0)
				return i + 1;
			++i;
		}
		return i;
	}
	while (i < json.size() && json[i] != ',' && json[i] != '}' && json[i] != ']' && !is_space(json[i]))
		++i;
	return i;
}

// The key with its escapes resolved, the way Qt hands it to libobs.
std::string decode_key(std::string_view key)
{
	const QByteArray wrapped = QByteArray("[") + QByteArray(key.data(), static_cast<int>(key.size())) + "]";
	return qstring_to_utf8(QJsonDocument::fromJson(wrapped).array().at(0).toString());
}

} // namespace

std::vector<RawMember> object_members(std::string_view json)
{
	std::vector<RawMember> members;
	std::size_t i = skip_space(json, 0);
	if (i >= json.size() || json[i] != '{')
		return members;
	i = skip_space(json, i + 1);
	while (i < json.size() && json[i] == '"') {
		const std::size_t key_end = end_of_string(json, i);
		RawMember member;
		member.key = std::string(json.substr(i, key_end - i));
		member.name = decode_key(member.key);
		i = skip_space(json, key_end);
		if (i >= json.size() || json[i] != ':')
			break;
		i = skip_space(json, i + 1);
		const std::size_t value_end = end_of_value(json, i);
		member.value = std::string(json.substr(i, value_end - i));
		members.erase(std::remove_if(members.begin(), members.end(),
					     [&](const RawMember &seen) { return seen.name == member.name; }),
			      members.end());
		members.push_back(std::move(member));
		i = skip_space(json, value_end);
		if (i >= json.size() || json[i] != ',')
			break;
		i = skip_space(json, i + 1);
	}
	return members;
}

std::string append_members(std::string_view json, const std::vector<RawMember> &members)
{
	const std::size_t close = json.rfind('}');
	if (members.empty() || close == std::string_view::npos)
		return std::string(json);
	// Written in the style of the text they join: libobs writes compact or indented text.
	const bool indented = json.find('\n') != std::string_view::npos;
	std::string out(json.substr(0, close));
	while (!out.empty() && is_space(out.back()))
		out.pop_back();
	bool first = !out.empty() && out.back() == '{';
	for (const RawMember &member : members) {
		if (!first)
			out += ',';
		first = false;
		out += indented ? "\n    " : "";
		out += member.key;
		out += indented ? ": " : ":";
		out += member.value;
	}
	out += indented ? "\n}\n" : "}";
	return out;
}

} // namespace clackery
