#include "core/capture_report.h"

#include "capture/capture_health.h"
#include "capture/ring.h"
#include "common/clock.h"

namespace clackery {

CaptureReport read_capture_report()
{
	const CaptureHealth health = read_capture_health(key_ring(), wall_clock_ms());
	CaptureReport report;
	report.status = capture_status_name(health.status);
	report.error = health.error;
	report.reinstalls = health.reinstalls;
	report.has_last_key = health.last_key_age_ms.has_value();
	report.last_key_age_ms = health.last_key_age_ms.value_or(0);
	report.elevated_foreground = health.elevated_foreground;
	report.away = health.away != 0;
	return report;
}

OBSDataAutoRelease capture_state_object(const CaptureReport &report)
{
	OBSDataAutoRelease out = obs_data_create();
	obs_data_set_string(out, "status", report.status.c_str());
	obs_data_set_int(out, "error", static_cast<long long>(report.error));
	obs_data_set_int(out, "reinstalls", static_cast<long long>(report.reinstalls));
	if (report.has_last_key)
		obs_data_set_double(out, "lastKeyAgeMs", report.last_key_age_ms);
	obs_data_set_bool(out, "elevatedForeground", report.elevated_foreground);
	return out;
}

} // namespace clackery
