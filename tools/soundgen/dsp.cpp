#include "dsp.h"

#include <cmath>

namespace soundgen {

namespace {
constexpr double kTwoPi = 6.283185307179586476925286766559;
}

double sine_turns(double turns)
{
	double x = turns - std::floor(turns); // [0, 1)
	if (x >= 0.5)
		x -= 1.0; // [-0.5, 0.5)
	if (x > 0.25)
		x = 0.5 - x; // fold onto [-0.25, 0.25] where the series converges fast
	if (x < -0.25)
		x = -0.5 - x;
	const double z = kTwoPi * x;
	const double z2 = z * z;
	// Taylor series to z^15; the remainder at |z| = π/2 is below 1e-8.
	double sum = 1.0 / 1307674368000.0;
	sum = 1.0 / 6227020800.0 - z2 * sum;
	sum = 1.0 / 39916800.0 - z2 * sum;
	sum = 1.0 / 362880.0 - z2 * sum;
	sum = 1.0 / 5040.0 - z2 * sum;
	sum = 1.0 / 120.0 - z2 * sum;
	sum = 1.0 / 6.0 - z2 * sum;
	return z * (1.0 - z2 * sum);
}

double cosine_turns(double turns)
{
	return sine_turns(turns + 0.25);
}

double exp_negative(double x)
{
	if (x < -64.0)
		x = -64.0;
	if (x > 0.0)
		x = 0.0;
	int halvings = 0;
	while (x < -0.0625) {
		x *= 0.5;
		++halvings;
	}
	double term = 1.0;
	double sum = 1.0;
	for (int k = 1; k <= 12; ++k) {
		term = term * x / k;
		sum += term;
	}
	for (int i = 0; i < halvings; ++i)
		sum *= sum;
	return sum;
}

std::uint64_t Rng::next()
{
	state += 0x9E3779B97F4A7C15ull;
	std::uint64_t z = state;
	z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
	z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
	return z ^ (z >> 31);
}

double Rng::symmetric()
{
	const double unit = static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); // 2^-53
	return unit * 2.0 - 1.0;
}

std::uint64_t fnv1a(const char *text)
{
	std::uint64_t hash = 0xCBF29CE484222325ull;
	for (const char *p = text; *p != '\0'; ++p) {
		hash ^= static_cast<unsigned char>(*p);
		hash *= 0x100000001B3ull;
	}
	return hash;
}

OnePole OnePole::at(double cutoff_hz)
{
	OnePole filter;
	filter.coefficient = 1.0 - exp_negative(-kTwoPi * cutoff_hz / kSampleRate);
	return filter;
}

double OnePole::low(double x)
{
	state += coefficient * (x - state);
	return state;
}

} // namespace soundgen
