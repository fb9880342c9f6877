#include "packs.h"

#include "dsp.h"
#include "synth.h"
#include "wav.h"

#include <cmath>
#include <utility>

namespace soundgen {

namespace {

// kachi: a clicky mechanical switch. A bright contact click with a metallic ping, then the
// key bottoming out on the plate about 9 ms later with the case resonating below it.
Recipe kachi(SoundKind kind)
{
	switch (kind) {
	case SoundKind::normal:
		return {80.0,
			0.5,
			{{0.0, 4300.0, 0.50, 3.0},
			 {0.0, 6900.0, 0.20, 1.8},
			 {8.5, 1650.0, 0.25, 5.0},
			 {8.5, 640.0, 0.30, 10.0},
			 {8.5, 2900.0, 0.12, 4.0}},
			{{0.0, 1.8, 0.05, 1.0, 2500.0, 14000.0}, {8.5, 0.6, 0.1, 2.0, 500.0, 5000.0}}};
	case SoundKind::space:
		// Longer bar: lower body, a slower knock and the rattle of the stabiliser wire.
		return {150.0,
			0.5,
			{{0.0, 3300.0, 0.35, 3.5},
			 {11.0, 165.0, 0.70, 30.0},
			 {11.0, 330.0, 0.35, 18.0},
			 {11.0, 980.0, 0.20, 9.0},
			 {20.0, 2300.0, 0.08, 5.0}},
			{{0.0, 1.3, 0.05, 1.5, 1800.0, 11000.0},
			 {11.0, 0.8, 0.2, 4.0, 180.0, 3500.0},
			 {20.0, 0.25, 0.1, 2.5, 1200.0, 7000.0},
			 {26.0, 0.15, 0.1, 2.0, 1500.0, 6000.0}}};
	case SoundKind::enter:
		return {130.0,
			0.5,
			{{0.0, 3700.0, 0.40, 3.2},
			 {10.0, 240.0, 0.60, 24.0},
			 {10.0, 480.0, 0.30, 14.0},
			 {10.0, 1350.0, 0.20, 7.0}},
			{{0.0, 1.6, 0.05, 1.2, 2200.0, 13000.0},
			 {10.0, 0.75, 0.15, 3.2, 260.0, 4200.0},
			 {18.0, 0.18, 0.1, 2.0, 1500.0, 8000.0}}};
	case SoundKind::backspace:
		return {100.0,
			0.5,
			{{0.0, 4000.0, 0.45, 3.0},
			 {9.5, 420.0, 0.40, 15.0},
			 {9.5, 1250.0, 0.22, 7.0},
			 {9.5, 2600.0, 0.10, 4.0}},
			{{0.0, 1.7, 0.05, 1.1, 2400.0, 13000.0}, {9.5, 0.65, 0.12, 2.6, 380.0, 4600.0}}};
	}
	return {};
}

// shizuka: a silent, dampened switch. No click, a soft attack and a low, muffled thud; the
// level stays well below kachi.
Recipe shizuka(SoundKind kind)
{
	switch (kind) {
	case SoundKind::normal:
		return {70.0,
			0.16,
			{{0.3, 330.0, 0.45, 13.0, 0.0, 1.2}, {0.3, 820.0, 0.12, 6.0, 0.0, 1.0}},
			{{0.0, 1.0, 1.5, 5.5, 120.0, 1600.0}}};
	case SoundKind::space:
		return {140.0,
			0.2,
			{{0.5, 140.0, 0.60, 34.0, 0.0, 2.0}, {0.5, 290.0, 0.25, 18.0, 0.0, 1.5}},
			{{0.0, 1.0, 2.5, 11.0, 80.0, 1000.0}}};
	case SoundKind::enter:
		return {120.0,
			0.2,
			{{0.4, 200.0, 0.55, 27.0, 0.0, 1.8}, {0.4, 410.0, 0.22, 14.0, 0.0, 1.5}},
			{{0.0, 1.0, 2.0, 9.0, 100.0, 1200.0}}};
	case SoundKind::backspace:
		return {85.0,
			0.17,
			{{0.4, 260.0, 0.50, 18.0, 0.0, 1.5}, {0.4, 650.0, 0.14, 8.0, 0.0, 1.2}},
			{{0.0, 1.0, 1.8, 7.0, 110.0, 1400.0}}};
	}
	return {};
}

// pokopoko: soft bubbles. Sine tones whose pitch rises as they fade, like a bubble
// surfacing; Enter pops twice, Backspace falls instead of rising.
Recipe pokopoko(SoundKind kind)
{
	switch (kind) {
	case SoundKind::normal:
		return {110.0, 0.4, {{0.0, 620.0, 1.0, 20.0, 14.0, 3.0}, {0.0, 1240.0, 0.12, 10.0, 14.0, 3.0}}, {}};
	case SoundKind::space:
		return {190.0,
			0.4,
			{{0.0, 300.0, 1.0, 36.0, 9.0, 3.5},
			 {0.0, 600.0, 0.10, 18.0, 9.0, 3.5},
			 {55.0, 420.0, 0.60, 24.0, 12.0, 3.0}},
			{}};
	case SoundKind::enter:
		return {175.0,
			0.4,
			{{0.0, 430.0, 1.0, 26.0, 12.0, 3.0},
			 {0.0, 860.0, 0.10, 13.0, 12.0, 3.0},
			 {60.0, 650.0, 0.75, 22.0, 14.0, 3.0},
			 {60.0, 1300.0, 0.07, 11.0, 14.0, 3.0}},
			{}};
	case SoundKind::backspace:
		return {125.0, 0.4, {{0.0, 820.0, 1.0, 24.0, -6.0, 3.0}, {0.0, 1640.0, 0.10, 12.0, -6.0, 3.0}}, {}};
	}
	return {};
}

bool recipe_for(const std::string &pack_id, SoundKind kind, Recipe &recipe)
{
	if (pack_id == "kachi") {
		recipe = kachi(kind);
	} else if (pack_id == "shizuka") {
		recipe = shizuka(kind);
	} else if (pack_id == "pokopoko") {
		recipe = pokopoko(kind);
	} else {
		return false;
	}
	return true;
}

const char *kind_name(SoundKind kind)
{
	switch (kind) {
	case SoundKind::normal:
		return "normal";
	case SoundKind::space:
		return "space";
	case SoundKind::enter:
		return "enter";
	case SoundKind::backspace:
		return "backspace";
	}
	return "normal";
}

// Slightly different pitches keep a run of the same key from sounding mechanical.
constexpr double kPitches[kVariations] = {1.0, 1.035, 0.968, 1.018};

} // namespace

const std::vector<PackInfo> &packs()
{
	static const std::vector<PackInfo> list = {
	    {"shizuka", "しずか"},
	    {"kachi", "カチカチ"},
	    {"pokopoko", "ぽこぽこ"},
	};
	return list;
}

const std::vector<SoundKind> &sound_kinds()
{
	static const std::vector<SoundKind> list = {SoundKind::normal, SoundKind::space, SoundKind::enter,
						    SoundKind::backspace};
	return list;
}

std::string wav_file_name(SoundKind kind, int variation)
{
	std::string name = kind_name(kind);
	if (variation > 0)
		name += "_" + std::to_string(variation + 1);
	return name + ".wav";
}

std::vector<std::int16_t> render_sound(const std::string &pack_id, SoundKind kind, int variation)
{
	Recipe recipe;
	if (!recipe_for(pack_id, kind, recipe) || variation < 0 || variation >= kVariations)
		return {};
	// All variations of a sound get the same RMS, so none stands out as an accent; the one
	// with the highest crest then peaks at the recipe's level and the others a little below.
	std::vector<double> chosen;
	double chosen_rms = 0.0;
	double max_crest = 0.0;
	for (int v = 0; v < kVariations; ++v) {
		const std::string key = pack_id + "/" + wav_file_name(kind, v);
		std::vector<double> mix = render(recipe, Variation{fnv1a(key.c_str()), kPitches[v]});
		double peak = 0.0;
		double energy = 0.0;
		for (double x : mix) {
			peak = std::fmax(peak, std::fabs(x));
			energy += x * x;
		}
		const double rms = std::sqrt(energy / static_cast<double>(mix.size()));
		if (rms <= 0.0)
			return {};
		max_crest = std::fmax(max_crest, peak / rms);
		if (v == variation) {
			chosen = std::move(mix);
			chosen_rms = rms;
		}
	}
	return to_pcm(chosen, recipe.peak / (max_crest * chosen_rms));
}

double target_peak(const std::string &pack_id, SoundKind kind)
{
	Recipe recipe;
	return recipe_for(pack_id, kind, recipe) ? recipe.peak : 0.0;
}

std::string pack_json(const PackInfo &pack)
{
	return std::string("{\n  \"displayName\": \"") + pack.display_name + "\"\n}\n";
}

std::vector<GeneratedFile> generate_all()
{
	std::vector<GeneratedFile> files;
	for (const PackInfo &pack : packs()) {
		const std::string json = pack_json(pack);
		files.push_back(
		    {std::string(pack.id) + "/pack.json", std::vector<std::uint8_t>(json.begin(), json.end())});
		for (SoundKind kind : sound_kinds()) {
			for (int v = 0; v < kVariations; ++v) {
				files.push_back({std::string(pack.id) + "/" + wav_file_name(kind, v),
						 encode_wav(render_sound(pack.id, kind, v))});
			}
		}
	}
	return files;
}

} // namespace soundgen
