// Paths of the overlay page: normalising them and recognising a source that shows the page.

#include "common/obs_util.h"
#include "common/qt_text.h"
#include "overlay/overlay_source.h"

#include <obs-module.h>

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace clackery {
namespace {

bool is_separator(char c)
{
	return c == '/' || c == '\\';
}

// Rooted: a drive with its separator or a network share on Windows; a leading '/' elsewhere.
bool is_rooted(const std::string &path)
{
#ifdef _WIN32
	const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
			   is_separator(path[2]);
	const bool share = path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]);
	return drive || share;
#else
	return !path.empty() && is_separator(path[0]);
#endif
}

// The local path behind obs-browser's "http://absolute/<path>" form of a local file.
std::string path_from_url(const char *text)
{
	const QUrl url(QString::fromUtf8(text ? text : ""), QUrl::TolerantMode);
	if (url.scheme() != QLatin1String("http") || url.host() != QLatin1String("absolute") ||
	    !url.userInfo().isEmpty() || url.port() != -1)
		return std::string();
	QString path = url.path(QUrl::FullyDecoded);
	if (path.startsWith(QLatin1Char('/')))
		path.remove(0, 1);
	return qstring_to_utf8(path);
}

std::string current_directory()
{
	return qstring_to_utf8(QDir::currentPath());
}

} // namespace

std::string normalize_local_path(const std::string &path, const std::string &base)
{
	namespace fs = std::filesystem;
	if (path.empty())
		return std::string();
	try {
		fs::path full = fs::u8path(path);
		if (full.is_relative()) {
			const fs::path base_path = fs::u8path(base);
			if (base_path.is_relative())
				return std::string();
			full = base_path / full;
		}
		std::string out = full.lexically_normal().u8string();
		if (!is_rooted(out))
			return std::string();
		std::replace(out.begin(), out.end(), '\\', '/');
		return out;
	} catch (...) {
		// A path the platform cannot convert is no path.
		return std::string();
	}
}

QString overlay_page_path()
{
	const HostString found(obs_module_file("overlay/overlay.html"));
	if (!found)
		return QString();
	return utf8_to_qstring(normalize_local_path(found.get(), current_directory()));
}

bool is_overlay_source(obs_source_t *source, const QString &overlay_path)
{
	if (!source)
		return false;
	const char *id = obs_source_get_id(source);
	if (!id || std::strcmp(id, "browser_source") != 0)
		return false;
	const OBSDataAutoRelease settings = obs_source_get_settings(source);
	const std::string candidate = obs_data_get_bool(settings, "is_local_file")
					  ? std::string(obs_data_get_string(settings, "local_file"))
					  : path_from_url(obs_data_get_string(settings, "url"));
	if (candidate.empty())
		return false;
	const QString normalized = utf8_to_qstring(normalize_local_path(candidate, current_directory()));
	return !normalized.isEmpty() && normalized.compare(overlay_path, Qt::CaseInsensitive) == 0;
}

} // namespace clackery
