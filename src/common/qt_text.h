#pragma once
// Conversions between Qt strings and our UTF-8 strings, and the installed font families.
// No string that crosses between the dock and the core carries a NUL.

#include <QString>

#include <string>
#include <vector>

namespace clackery {

std::string qstring_to_utf8(const QString &text);
QString utf8_to_qstring(const std::string &text);

// The system's font families, sorted case-insensitively, keeping only well-formed names.
// Built once on first use (needs the Qt GUI application) and never refreshed.
const std::vector<std::string> &installed_font_families();

} // namespace clackery
