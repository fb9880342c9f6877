#include "delivery/overlay_sources.h"

#include <callback/calldata.h>
#include <callback/proc.h>
#include <callback/signal.h>

#include <cstring>
#include <utility>

namespace clackery {
namespace {

constexpr const char *kBrowserSource = "browser_source";
constexpr const char *kProcedure = "javascript_event";

// A rename changes nothing here: sources are held by reference, not by name.
constexpr const char *kSignals[] = {"source_create", "source_update", "source_remove", "source_destroy"};

bool is_browser_source(obs_source_t *source)
{
	const char *id = source ? obs_source_get_id(source) : nullptr;
	return id && std::strcmp(id, kBrowserSource) == 0;
}

} // namespace

void OverlaySources::start(QString pagePath, Recognise recognise)
{
	stop();
	pagePath_ = std::move(pagePath);
	recognise_ = recognise;
	signal_handler_t *signals = obs_get_signal_handler();
	if (!signals || !recognise_)
		return;
	for (const char *name : kSignals)
		signal_handler_connect(signals, name, &OverlaySources::on_source_signal, this);
	connected_ = true;
	stale_.store(true);
}

void OverlaySources::stop()
{
	if (connected_) {
		// Disconnecting waits for a signal being delivered, so none reaches this record later.
		signal_handler_t *signals = obs_get_signal_handler();
		for (const char *name : kSignals)
			signal_handler_disconnect(signals, name, &OverlaySources::on_source_signal, this);
		connected_ = false;
	}
	sources_.clear();
	stale_.store(true);
}

// Any thread (libobs signals from wherever a source changes): only marks the set stale.
void OverlaySources::on_source_signal(void *data, calldata_t *cd)
{
	auto *self = static_cast<OverlaySources *>(data);
	if (is_browser_source(static_cast<obs_source_t *>(calldata_ptr(cd, "source"))))
		self->stale_.store(true);
}

bool OverlaySources::collect(void *data, obs_source_t *source)
{
	auto *self = static_cast<OverlaySources *>(data);
	if (is_browser_source(source) && !obs_source_removed(source) && self->recognise_(source, self->pagePath_))
		self->sources_.emplace_back(obs_source_get_weak_source(source));
	return true;
}

void OverlaySources::refresh()
{
	sources_.clear();
	if (!pagePath_.isEmpty())
		obs_enum_sources(&OverlaySources::collect, this);
}

SourceReach OverlaySources::send(const char *eventName, const char *json)
{
	SourceReach reach;
	if (!connected_)
		return reach;
	// Cleared before the walk, so a change reported during it is picked up next time.
	if (stale_.exchange(false))
		refresh();
	for (const OBSWeakSourceAutoRelease &weak : sources_) {
		const OBSSourceAutoRelease source = obs_weak_source_get_source(weak);
		if (!source)
			continue; // being destroyed; its signal has marked the set stale
		calldata_t cd;
		calldata_init(&cd);
		calldata_set_string(&cd, "eventName", eventName);
		calldata_set_string(&cd, "jsonString", json);
		const bool offered = proc_handler_call(obs_source_get_proc_handler(source), kProcedure, &cd);
		calldata_free(&cd);
		++(offered ? reach.reached : reach.lacking);
	}
	return reach;
}

} // namespace clackery
