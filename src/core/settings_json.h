#pragma once
// The members of the settings file as text. libobs keeps only objects inside arrays, drops
// nulls and rounds big numbers, so members the module does not own are carried from the file
// to the next save as their own bytes.

#include <string>
#include <string_view>
#include <vector>

namespace clackery {

struct RawMember {
	std::string name;  // the key, decoded to UTF-8
	std::string key;   // the key as written in the file, quotes and escapes included
	std::string value; // the value as written in the file
};

// The members of a JSON object in file order; a repeated key keeps only its last member, as
// readers of the file see it. The text must already have been checked to be one JSON object.
std::vector<RawMember> object_members(std::string_view json);

// Adds `members` after the members of the JSON object text `json`.
std::string append_members(std::string_view json, const std::vector<RawMember> &members);

} // namespace clackery
