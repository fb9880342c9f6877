#include "check.h"

#include "packs.h"
#include "wav.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace soundgen {

namespace {

namespace fs = std::filesystem;

constexpr double kFullScale = 32768.0;
constexpr double kRate = 48000.0;

struct Measures {
	double ms = 0.0;
	double peak = 0.0; // linear, of full scale
	double rms = 0.0;
	double centroid_hz = 0.0;
};

double to_db(double linear)
{
	return linear > 0.0 ? 20.0 * std::log10(linear) : -200.0;
}

bool read_file(const fs::path &path, std::vector<std::uint8_t> &bytes)
{
	std::ifstream in(path, std::ios::binary);
	if (!in)
		return false;
	bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	return !in.bad();
}

// Power-weighted mean of log frequency over 64 bands from 50 Hz to 16 kHz (Goertzel), so a
// deeper sound gives a lower figure whatever its noise content.
double spectral_centroid(const std::vector<std::int16_t> &s)
{
	const int bands = 64;
	double weighted = 0.0;
	double total = 0.0;
	for (int b = 0; b < bands; ++b) {
		const double freq = 50.0 * std::pow(16000.0 / 50.0, b / static_cast<double>(bands - 1));
		const double coeff = 2.0 * std::cos(2.0 * 3.141592653589793 * freq / kRate);
		double s1 = 0.0;
		double s2 = 0.0;
		for (std::int16_t x : s) {
			const double s0 = x / kFullScale + coeff * s1 - s2;
			s2 = s1;
			s1 = s0;
		}
		const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
		weighted += power * std::log(freq);
		total += power;
	}
	return total > 0.0 ? std::exp(weighted / total) : 0.0;
}

Measures measure(const std::vector<std::int16_t> &s)
{
	Measures m;
	m.ms = static_cast<double>(s.size()) * 1000.0 / kRate;
	double energy = 0.0;
	for (std::int16_t x : s) {
		const double v = x / kFullScale;
		m.peak = std::fmax(m.peak, std::fabs(v));
		energy += v * v;
	}
	m.rms = s.empty() ? 0.0 : std::sqrt(energy / static_cast<double>(s.size()));
	m.centroid_hz = spectral_centroid(s);
	return m;
}

// RMS of the difference over the RMS of the first: how far two variations lie apart.
double relative_difference(const std::vector<std::int16_t> &a, const std::vector<std::int16_t> &b)
{
	const std::size_t n = std::max(a.size(), b.size());
	double diff = 0.0;
	double ref = 0.0;
	for (std::size_t i = 0; i < n; ++i) {
		const double x = i < a.size() ? a[i] : 0.0;
		const double y = i < b.size() ? b[i] : 0.0;
		diff += (x - y) * (x - y);
		ref += x * x;
	}
	return ref > 0.0 ? std::sqrt(diff / ref) : 0.0;
}

class Checker {
public:
	Checker(const fs::path &root, std::ostream &report) : root_(root), out_(report) {}

	bool run()
	{
		out_ << std::left << std::setw(26) << "file" << std::right << std::setw(7) << "ms" << std::setw(10)
		     << "peak dB" << std::setw(9) << "rms dB" << std::setw(12) << "centre Hz"
		     << "\n";
		for (const PackInfo &pack : packs())
			check_pack(pack);
		compare_packs();
		out_ << (problems_ == 0 ? "all sound packs are as generated\n" : "sound packs have problems\n");
		return problems_ == 0;
	}

private:
	void fail(const std::string &what, const std::string &why)
	{
		out_ << "FAIL " << what << ": " << why << "\n";
		++problems_;
	}

	void check_pack(const PackInfo &pack)
	{
		const std::string id = pack.id;
		const fs::path dir = root_ / id;
		std::set<std::string> expected = {"pack.json"};
		std::vector<std::uint8_t> bytes;
		const std::string json = pack_json(pack);
		if (!read_file(dir / "pack.json", bytes)) {
			fail(id + "/pack.json", "missing");
		} else if (std::string(bytes.begin(), bytes.end()) != json) {
			fail(id + "/pack.json", "differs from the generator's");
		}
		for (SoundKind kind : sound_kinds()) {
			std::vector<std::vector<std::int16_t>> variations;
			for (int v = 0; v < kVariations; ++v) {
				const std::string name = wav_file_name(kind, v);
				expected.insert(name);
				variations.push_back(check_sound(id, kind, v));
			}
			if (!complete(id, kind))
				continue;
			check_level_spread(id, kind);
			double loudest = 0.0;
			for (int v = 0; v < kVariations; ++v) {
				loudest = std::fmax(loudest, measures_[id][static_cast<int>(kind)][v].peak);
			}
			if (std::fabs(loudest - target_peak(id, kind)) > 2.0 / kFullScale) {
				fail(id + "/" + wav_file_name(kind, 0), "no variation peaks at the target");
			}
			for (int a = 0; a < kVariations; ++a) {
				for (int b = a + 1; b < kVariations; ++b) {
					if (variations[a].empty() || variations[b].empty())
						continue;
					const double d = relative_difference(variations[a], variations[b]);
					if (d < 0.05) {
						fail(id + "/" + wav_file_name(kind, a),
						     "hardly differs from " + wav_file_name(kind, b));
					}
				}
			}
		}
		std::error_code ec;
		for (const auto &entry : fs::directory_iterator(dir, ec)) {
			const std::string name = entry.path().filename().string();
			if (expected.count(name) == 0)
				fail(id + "/" + name, "not made by the generator");
		}
	}

	std::vector<std::int16_t> check_sound(const std::string &pack, SoundKind kind, int v)
	{
		const std::string label = pack + "/" + wav_file_name(kind, v);
		std::vector<std::uint8_t> bytes;
		if (!read_file(root_ / pack / wav_file_name(kind, v), bytes)) {
			fail(label, "missing");
			return {};
		}
		if (bytes != encode_wav(render_sound(pack, kind, v))) {
			fail(label, "differs from a fresh render (stale output or unstable arithmetic)");
		}
		std::vector<std::int16_t> s;
		std::string error;
		if (!decode_wav(bytes, s, error)) {
			fail(label, error);
			return {};
		}
		const Measures m = measure(s);
		measures_[pack][static_cast<int>(kind)][v] = m;
		out_ << std::left << std::setw(26) << label << std::right << std::fixed << std::setprecision(1)
		     << std::setw(7) << m.ms << std::setw(10) << to_db(m.peak) << std::setw(9) << to_db(m.rms)
		     << std::setprecision(0) << std::setw(12) << m.centroid_hz << "\n";

		if (m.ms < 40.0 || m.ms > 250.0)
			fail(label, "not 40 to 250 ms long");
		const double target = target_peak(pack, kind);
		if (m.peak > target + 2.0 / kFullScale || to_db(m.peak) < to_db(target) - 4.0) {
			fail(label, "peak is not within 4 dB below its target");
		}
		// The fades must bring both ends to silence, or the page's playback clicks.
		const std::size_t tail = std::min<std::size_t>(48, s.size());
		if (s.front() != 0 || s.back() != 0)
			fail(label, "does not start and end on zero");
		for (std::size_t i = s.size() - tail; i < s.size(); ++i) {
			if (std::abs(s[i]) > 0.01 * kFullScale) {
				fail(label, "last millisecond is not quiet");
				break;
			}
		}
		if (std::abs(s[1]) > 0.01 * kFullScale)
			fail(label, "starts with a step");
		double sum = 0.0;
		for (std::int16_t x : s)
			sum += x;
		if (std::fabs(sum / static_cast<double>(s.size())) > 0.005 * kFullScale) {
			fail(label, "carries a DC offset");
		}
		return s;
	}

	// Whether every variation of a sound was read; comparisons need all of them.
	bool complete(const std::string &pack, SoundKind kind)
	{
		return measures_[pack][static_cast<int>(kind)].size() == kVariations;
	}

	// Variations are for texture, not for accents: their loudness stays within a few dB.
	void check_level_spread(const std::string &pack, SoundKind kind)
	{
		double low = 1e9;
		double high = -1e9;
		for (int v = 0; v < kVariations; ++v) {
			const double db = to_db(measures_[pack][static_cast<int>(kind)][v].rms);
			low = std::fmin(low, db);
			high = std::fmax(high, db);
		}
		if (high - low > 2.5)
			fail(pack + "/" + wav_file_name(kind, 0), "variations differ in loudness");
	}

	Measures average(const std::string &pack, SoundKind kind)
	{
		Measures avg;
		for (int v = 0; v < kVariations; ++v) {
			const Measures &m = measures_[pack][static_cast<int>(kind)][v];
			avg.ms += m.ms / kVariations;
			avg.peak += m.peak / kVariations;
			avg.rms += m.rms / kVariations;
			avg.centroid_hz += m.centroid_hz / kVariations;
		}
		return avg;
	}

	// The promises between sounds: Space and Enter deeper and longer than a letter key;
	// shizuka quieter than kachi, which peaks near -6 dBFS.
	void compare_packs()
	{
		for (const PackInfo &pack : packs()) {
			if (!complete(pack.id, SoundKind::normal))
				continue;
			const Measures normal = average(pack.id, SoundKind::normal);
			for (SoundKind big : {SoundKind::space, SoundKind::enter}) {
				if (!complete(pack.id, big))
					continue;
				const Measures m = average(pack.id, big);
				const std::string label = std::string(pack.id) + "/" + wav_file_name(big, 0);
				if (m.centroid_hz > 0.85 * normal.centroid_hz)
					fail(label, "not deeper than normal");
				if (m.ms <= normal.ms)
					fail(label, "not longer than normal");
			}
		}
		for (SoundKind kind : sound_kinds()) {
			if (!complete("shizuka", kind) || !complete("kachi", kind))
				continue;
			const Measures quiet = average("shizuka", kind);
			const Measures loud = average("kachi", kind);
			if (to_db(quiet.peak) > to_db(loud.peak) - 6.0 || quiet.rms >= loud.rms) {
				fail("shizuka/" + wav_file_name(kind, 0), "not clearly quieter than kachi");
			}
		}
		if (complete("kachi", SoundKind::normal)) {
			const double kachi_peak = to_db(average("kachi", SoundKind::normal).peak);
			if (kachi_peak < -7.5 || kachi_peak > -5.0)
				fail("kachi/normal.wav", "peak not near -6 dBFS");
		}
	}

	fs::path root_;
	std::ostream &out_;
	int problems_ = 0;
	std::map<std::string, std::map<int, std::map<int, Measures>>> measures_;
};

} // namespace

bool check_packs(const fs::path &root, std::ostream &report)
{
	return Checker(root, report).run();
}

} // namespace soundgen
