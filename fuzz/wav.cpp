// WAV files: never a crash or an out-of-bounds read (AddressSanitizer watches), and an
// accepted file is refused once a byte is cut off.
#include "sounds/wav.h"

#include <cstdint>
#include <cstdlib>

using namespace clackery;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	if (!is_acceptable_wav(data, size))
		return 0;
	// The smallest acceptable file: header, 16-byte "fmt ", one 2-byte frame of "data".
	if (size < 12 + 24 + 10 || is_acceptable_wav(data, size - 1))
		std::abort();
	return 0;
}
