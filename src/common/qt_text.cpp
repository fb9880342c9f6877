#include "common/qt_text.h"

#include "common/text.h"

#include <QFontDatabase>
#include <QStringList>

#include <algorithm>

namespace clackery {

std::string qstring_to_utf8(const QString &text)
{
	QString copy = text;
	copy.replace(QChar(0), QChar(0xFFFD));
	const QByteArray bytes = copy.toUtf8();
	return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString utf8_to_qstring(const std::string &text)
{
	QString out = QString::fromUtf8(text.data(), static_cast<int>(text.size()));
	out.replace(QChar(0), QChar(0xFFFD));
	return out;
}

static std::vector<std::string> read_font_families()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
	QStringList families = QFontDatabase::families();
#else
	QStringList families = QFontDatabase().families();
#endif
	std::sort(families.begin(), families.end(),
		  [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
	std::vector<std::string> out;
	for (const QString &family : families) {
		std::string name = qstring_to_utf8(family);
		if (is_clean_font_name(name))
			out.push_back(std::move(name));
	}
	return out;
}

const std::vector<std::string> &installed_font_families()
{
	static const std::vector<std::string> families = read_font_families();
	return families;
}

} // namespace clackery
