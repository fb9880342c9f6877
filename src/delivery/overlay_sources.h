#pragma once
// The browser sources that show our overlay page, the only ones that may receive its events.
// The set is kept by weak reference and marked stale whenever libobs reports a browser source
// created, changed, removed or destroyed; the next emission rebuilds it, so the 8 ms tick does
// not walk every source for every key.

#include <obs.hpp>

#include <QString>

#include <atomic>
#include <vector>

namespace clackery {

// How many overlay sources an event reached through their own "javascript_event", and how many
// lack that procedure (an obs-browser too old to offer it).
struct SourceReach {
	int reached = 0;
	int lacking = 0;
};

class OverlaySources {
public:
	using Recognise = bool (*)(obs_source_t *source, const QString &pagePath);

	OverlaySources() = default;
	OverlaySources(const OverlaySources &) = delete;
	OverlaySources &operator=(const OverlaySources &) = delete;
	~OverlaySources() { stop(); }

	// UI thread, with libobs running. `recognise` tells our overlay among the browser sources.
	void start(QString pagePath, Recognise recognise);
	// Disconnects from libobs and drops every reference; safe to call more than once.
	void stop();
	bool tracking() const { return connected_; }

	// UI thread: hands `json` to every overlay source under `eventName`.
	SourceReach send(const char *eventName, const char *json);

private:
	void refresh();
	static void on_source_signal(void *data, calldata_t *cd);
	static bool collect(void *data, obs_source_t *source);

	bool connected_ = false;
	std::atomic<bool> stale_{true};
	QString pagePath_;
	Recognise recognise_ = nullptr;
	std::vector<OBSWeakSourceAutoRelease> sources_;
};

} // namespace clackery
