// Paths of the overlay page compare equal however they were written.

#include "overlay/overlay_source.h"

#include <gtest/gtest.h>

#include <obs-module.h>

// The test has no module handle; the page lookup is not exercised here.
obs_module_t *obs_current_module(void)
{
	return nullptr;
}

namespace clackery {
namespace {

TEST(OverlayPath, Normalises)
{
	struct Case {
		const char *path;
		const char *base;
		const char *normalized;
	};
	const Case cases[] = {
	    {"", "/home/streamer", ""},
	    {"/data/overlay/overlay.html", "/elsewhere", "/data/overlay/overlay.html"},
	    {"/data/./overlay//x/../overlay.html", "/", "/data/overlay/overlay.html"},
	    {"overlay/overlay.html", "/home/streamer", "/home/streamer/overlay/overlay.html"},
	    {"../overlay.html", "/home/streamer/obs", "/home/streamer/overlay.html"},
	    {"./overlay.html", "/home/streamer/./obs/", "/home/streamer/obs/overlay.html"},
	    {"/../../etc/overlay.html", "/", "/etc/overlay.html"},
	    {"overlay.html", "relative/base", ""},
	    {"overlay.html", "", ""},
#ifndef _WIN32
	    // Not a separator here, but written as one so both sides compare alike.
	    {"overlay\\overlay.html", "/data", "/data/overlay/overlay.html"},
#else
	    {"C:\\Data\\overlay\\..\\overlay\\overlay.html", "D:\\", "C:/Data/overlay/overlay.html"},
	    {"overlay\\overlay.html", "C:\\Data", "C:/Data/overlay/overlay.html"},
	    {"\\\\server\\share\\overlay.html", "C:\\", "//server/share/overlay.html"},
	    {"overlay.html", "\\no-drive", ""},
#endif
	};
	for (const Case &k : cases)
		EXPECT_EQ(normalize_local_path(k.path, k.base), k.normalized) << k.path << " in " << k.base;
}

TEST(OverlayPath, NonAsciiFoldersSurvive)
{
	EXPECT_EQ(normalize_local_path("配信/オーバーレイ/overlay.html", "/home/ストリーマー"),
		  "/home/ストリーマー/配信/オーバーレイ/overlay.html");
}

} // namespace
} // namespace clackery
