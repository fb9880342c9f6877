// Verifies generated packs on disk: every file present, byte-identical to a fresh render,
// a valid WAV of the agreed shape, of a sensible length and level, click-free at both
// ends, and with the differences between sounds that the packs promise.
#pragma once

#include <filesystem>
#include <ostream>

namespace soundgen {

// Writes a table of measurements and one line per problem; true when there is none.
bool check_packs(const std::filesystem::path &root, std::ostream &report);

} // namespace soundgen
