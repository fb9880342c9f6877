// Arithmetic for the key-sound synthesiser that gives the same bits on every compiler and C
// library: only +, -, *, / and floor on doubles, no libm transcendental functions (their last
// bits differ between platforms), and an integer random number generator.
#pragma once

#include <cstdint>

namespace soundgen {

constexpr double kSampleRate = 48000.0;

// sin(2π·turns), accurate to about 1e-8.
double sine_turns(double turns);
double cosine_turns(double turns);

// e^x for x in [-64, 0], accurate to about 1e-12 relative.
double exp_negative(double x);

// SplitMix64: small, fast and fully specified, so a seed names one noise sequence forever.
struct Rng {
	std::uint64_t state;
	std::uint64_t next();
	// Uniform in [-1, 1).
	double symmetric();
};

// 64-bit FNV-1a of a text, used to give each sound its own seed.
std::uint64_t fnv1a(const char *text);

// One-pole low-pass filter; a high-pass is the input minus its low-pass.
struct OnePole {
	double coefficient = 0.0;
	double state = 0.0;
	static OnePole at(double cutoff_hz);
	double low(double x);
	double high(double x) { return x - low(x); }
};

} // namespace soundgen
