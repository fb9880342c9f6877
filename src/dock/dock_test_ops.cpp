// Drives the text field the way the input method and the keyboard do, for automated checks
// from outside the process. The events take the same road as real ones.

#include "common/qt_text.h"
#include "dock/text_dock.h"
#include "dock/text_input.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>
#include <climits>
#include <map>

namespace clackery {
namespace {

int to_int(std::int64_t value)
{
	return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

bool TextDock::inject_input_method(const std::string &preedit, const std::string &committed, std::int64_t cursor,
				   std::int64_t replacement_start, std::int64_t replacement_length)
{
	const QString preedit_text = utf8_to_qstring(preedit);
	const int start = to_int(std::clamp<std::int64_t>(cursor, 0, preedit_text.size()));
	QList<QInputMethodEvent::Attribute> attributes;
	attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, start, 1, QVariant()));
	QInputMethodEvent event(preedit_text, attributes);
	event.setCommitString(utf8_to_qstring(committed), to_int(replacement_start), to_int(replacement_length));
	return QCoreApplication::sendEvent(text_input, &event);
}

bool TextDock::simulate_key(const std::string &name, bool shift, bool ctrl)
{
	static const std::map<std::string, Qt::Key> keys{
	    {"Backspace", Qt::Key_Backspace},
	    {"Enter", Qt::Key_Return},
	    {"Delete", Qt::Key_Delete},
	    {"Left", Qt::Key_Left},
	    {"Right", Qt::Key_Right},
	    {"Home", Qt::Key_Home},
	    {"End", Qt::Key_End},
	};
	const auto key = keys.find(name);
	if (key == keys.end())
		return false;
	Qt::KeyboardModifiers modifiers = Qt::NoModifier;
	if (shift)
		modifiers |= Qt::ShiftModifier;
	if (ctrl)
		modifiers |= Qt::ControlModifier;
	QKeyEvent event(QEvent::KeyPress, key->second, modifiers, QString(), false, 1);
	return QCoreApplication::sendEvent(text_input, &event);
}

bool TextDock::select_text(std::int64_t caret, std::int64_t anchor)
{
	text_input->select_range(caret, anchor);
	return true;
}

} // namespace clackery
