#pragma once
// The capture's health in the dock's words: one concise Japanese line, and the notice shown
// while the focused window outranks OBS.

#include "common/records.h"

#include <QString>

namespace clackery {

QString capture_health_text(const CaptureReport &report);

// Empty when the focused window's keys can be seen.
QString elevated_notice_text(const CaptureReport &report);

} // namespace clackery
