#include "capture/witness_match.h"

namespace clackery {

std::uint32_t unsided_vk(std::uint32_t vk)
{
	switch (vk) {
	case 0xA0:
	case 0xA1:
		return 0x10;
	case 0xA2:
	case 0xA3:
		return 0x11;
	case 0xA4:
	case 0xA5:
		return 0x12;
	default:
		return vk;
	}
}

bool same_transition(const SeenKey &a, const SeenKey &b)
{
	if (a.down != b.down || unsided_vk(a.vk) != unsided_vk(b.vk))
		return false;
	return a.scancode == 0 || b.scancode == 0 || a.scancode == b.scancode;
}

void WitnessMatcher::expire_hook_entries(double now)
{
	// A hook sighting the witness never confirms is harmless; it only must not pair with a much
	// later witness key.
	while (!hook_.empty() && now - hook_.front().at > WITNESS_WINDOW_MS)
		hook_.pop_front();
}

void WitnessMatcher::hook_saw(const SeenKey &key, double now)
{
	last_hook_at_ = now;
	expire_hook_entries(now);
	for (auto it = witness_.begin(); it != witness_.end(); ++it) {
		if (same_transition(key, it->key)) {
			witness_.erase(it);
			return;
		}
	}
	if (hook_.size() >= WITNESS_PENDING_LIMIT)
		hook_.pop_front();
	hook_.push_back(Entry{key, now});
}

void WitnessMatcher::witness_saw(const SeenKey &key, double now)
{
	expire_hook_entries(now);
	for (auto it = hook_.begin(); it != hook_.end(); ++it) {
		if (same_transition(it->key, key)) {
			hook_.erase(it);
			return;
		}
	}
	witness_.push_back(Entry{key, now});
}

std::optional<double> WitnessMatcher::deadline() const
{
	if (witness_.empty())
		return std::nullopt;
	if (witness_.size() >= WITNESS_PENDING_LIMIT)
		return witness_.back().at;
	return witness_.front().at + WITNESS_WINDOW_MS;
}

WitnessVerdict WitnessMatcher::verdict(double now) const
{
	const std::optional<double> due = deadline();
	if (!due || now < *due)
		return WitnessVerdict::waiting;
	return last_hook_at_ > witness_.front().at ? WitnessVerdict::skipped : WitnessVerdict::hook_gone;
}

std::vector<SeenKey> WitnessMatcher::take_unmatched()
{
	std::vector<SeenKey> keys;
	keys.reserve(witness_.size());
	for (const Entry &entry : witness_)
		keys.push_back(entry.key);
	forget();
	return keys;
}

void WitnessMatcher::forget()
{
	hook_.clear();
	witness_.clear();
}

} // namespace clackery
