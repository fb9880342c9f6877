#include "synth.h"

#include "dsp.h"

#include <cmath>
#include <cstddef>

namespace soundgen {

namespace {

std::size_t samples_for(double ms)
{
	if (ms <= 0.0)
		return 0;
	return static_cast<std::size_t>(std::floor(ms * kSampleRate / 1000.0 + 0.5));
}

// Per-component departures of one variation: level ±8 %, decay ±6 %, onset ±0.35 ms for the
// parts that follow the first impact.
struct Jitter {
	double amp;
	double decay;
	double shift_ms;
};

Jitter draw_jitter(Rng &rng, double start_ms)
{
	Jitter jitter{};
	jitter.amp = 1.0 + 0.08 * rng.symmetric();
	jitter.decay = 1.0 + 0.06 * rng.symmetric();
	const double shift = 0.35 * rng.symmetric();
	jitter.shift_ms = start_ms > 0.0 ? std::fmax(shift, -start_ms) : 0.0;
	return jitter;
}

// Attack ramp then exponential decay, advanced one sample per call.
struct Envelope {
	std::size_t attack_samples;
	double factor; // per-sample decay
	double level = 1.0;
	std::size_t n = 0;

	Envelope(double attack_ms, double decay_ms)
	    : attack_samples(samples_for(attack_ms)), factor(exp_negative(-1000.0 / (decay_ms * kSampleRate)))
	{
	}

	double next()
	{
		double value = level;
		if (n < attack_samples) {
			value *= static_cast<double>(n) / static_cast<double>(attack_samples);
		} else {
			level *= factor;
		}
		++n;
		return value;
	}
	bool done() const { return n >= attack_samples && level < 1e-7; }
};

void add_partial(std::vector<double> &out, const Partial &partial, const Jitter &jitter, double pitch)
{
	const double start_ms = partial.start_ms + jitter.shift_ms;
	Envelope envelope(partial.attack_ms, partial.decay_ms * jitter.decay);
	const double base = partial.freq_hz * pitch;
	const double amp = partial.amp * jitter.amp;
	double phase = 0.0;
	for (std::size_t i = samples_for(start_ms); i < out.size() && !envelope.done(); ++i) {
		const double t = static_cast<double>(envelope.n) / kSampleRate;
		double freq = base * (1.0 + partial.glide * t);
		if (freq < 20.0)
			freq = 20.0;
		out[i] += amp * envelope.next() * sine_turns(phase);
		phase += freq / kSampleRate;
		phase -= std::floor(phase);
	}
}

void add_burst(std::vector<double> &out, const Burst &burst, const Jitter &jitter, double pitch, Rng &rng)
{
	const std::size_t first = samples_for(burst.start_ms + jitter.shift_ms);
	if (first >= out.size())
		return;
	// Band-limited white noise: one high-pass and two low-pass poles.
	OnePole high = OnePole::at(burst.highpass_hz * pitch);
	OnePole low1 = OnePole::at(burst.lowpass_hz * pitch);
	OnePole low2 = OnePole::at(burst.lowpass_hz * pitch);
	Envelope envelope(burst.attack_ms, burst.decay_ms * jitter.decay);
	std::vector<double> shaped;
	double weight = 0.0;
	double energy = 0.0;
	for (std::size_t i = first; i < out.size() && !envelope.done(); ++i) {
		const double e = envelope.next();
		const double x = low2.low(low1.low(high.high(rng.symmetric())));
		shaped.push_back(e * x);
		weight += e * e;
		energy += e * e * x * x;
	}
	if (energy <= 0.0)
		return;
	// Bring the noise to a fixed RMS where the envelope lets it through, so a burst is as loud
	// in every variation and whatever the width of its band.
	const double amp = burst.amp * jitter.amp * 0.35 / std::sqrt(energy / weight);
	for (std::size_t i = 0; i < shaped.size(); ++i)
		out[first + i] += amp * shaped[i];
}

void apply_fades(std::vector<double> &samples)
{
	const std::size_t fade_in = samples_for(kFadeInMs);
	const std::size_t fade_out = samples_for(kFadeOutMs);
	const std::size_t n = samples.size();
	for (std::size_t i = 0; i < fade_in && i < n; ++i) {
		const double x = static_cast<double>(i) / static_cast<double>(fade_in);
		samples[i] *= 0.5 - 0.5 * cosine_turns(0.5 * x);
	}
	for (std::size_t m = 0; m < fade_out && m < n; ++m) {
		// m = fade_out - 1 is the last sample, which lands on exactly cos(π): silence.
		const double x = static_cast<double>(m + 1) / static_cast<double>(fade_out);
		samples[n - fade_out + m] *= 0.5 + 0.5 * cosine_turns(0.5 * x);
	}
}

} // namespace

std::vector<double> render(const Recipe &recipe, const Variation &variation)
{
	std::vector<double> mix(samples_for(recipe.length_ms), 0.0);
	Rng rng{variation.seed};
	for (const Partial &partial : recipe.partials) {
		add_partial(mix, partial, draw_jitter(rng, partial.start_ms), variation.pitch);
	}
	for (const Burst &burst : recipe.bursts) {
		const Jitter jitter = draw_jitter(rng, burst.start_ms);
		add_burst(mix, burst, jitter, variation.pitch, rng);
	}
	apply_fades(mix);
	return mix;
}

std::vector<std::int16_t> to_pcm(const std::vector<double> &samples, double gain)
{
	std::vector<std::int16_t> pcm(samples.size());
	for (std::size_t i = 0; i < samples.size(); ++i) {
		double v = std::floor(samples[i] * gain * 32767.0 + 0.5);
		if (v > 32767.0)
			v = 32767.0;
		if (v < -32768.0)
			v = -32768.0;
		pcm[i] = static_cast<std::int16_t>(v);
	}
	return pcm;
}

} // namespace soundgen
