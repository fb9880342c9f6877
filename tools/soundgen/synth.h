// The key sounds as recipes of damped partials and filtered noise bursts, and their
// rendering into 48 kHz mono 16-bit samples.
#pragma once

#include <cstdint>
#include <vector>

namespace soundgen {

// A damped sine: the ring of a switch leaf, a plate or the case.
struct Partial {
	double start_ms;
	double freq_hz;
	double amp;
	double decay_ms;    // time constant of the exponential decay
	double glide = 0.0; // relative frequency change per second (a bubble rises)
	double attack_ms = 0.0;
};

// A burst of band-limited noise: the click of a contact or the knock of a key bottoming out.
struct Burst {
	double start_ms;
	double amp;
	double attack_ms;
	double decay_ms;
	double highpass_hz;
	double lowpass_hz;
};

struct Recipe {
	double length_ms;
	double peak; // linear, of full scale, of the loudest of its variations
	std::vector<Partial> partials;
	std::vector<Burst> bursts;
};

// How one variation of a sound departs from its recipe, so repeated keys do not sound
// identical.
struct Variation {
	std::uint64_t seed; // noise and jitter
	double pitch;       // factor on every frequency
};

// Raised-cosine fades at both ends, so the sound starts and ends on silence without a click.
constexpr double kFadeInMs = 0.5;
constexpr double kFadeOutMs = 6.0;

// The sound at its natural level (faded at both ends, not yet scaled).
std::vector<double> render(const Recipe &recipe, const Variation &variation);

// Samples scaled by `gain` and rounded to 16 bits, clamped to full scale.
std::vector<std::int16_t> to_pcm(const std::vector<double> &samples, double gain);

} // namespace soundgen
