// Drives the text field the way the input method and the keyboard do, for automated checks
// from outside the process. The events take the same road as real ones.

#include "common/qt_text.h"
#include "dock/control_dock.h"
#include "dock/text_input.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>
#include <climits>
#include <map>

namespace clackery {
namespace {

int to_int(std::int64_t value)
{
	return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

// The commit replaces a range counted from the caret, in a text whose selection the commit
// removes first. A range outside that text would replace the wrong span; numbers too large for
// obs-websocket arrive wrapped to negatives and land there too.
bool replacement_inside_text(const QTextEdit &field, std::int64_t start, std::int64_t length)
{
	const QTextCursor cursor = field.textCursor();
	const std::int64_t selected = cursor.selectionEnd() - cursor.selectionStart();
	const std::int64_t text_length = field.document()->characterCount() - 1 - selected;
	if (start < -text_length || start > text_length || length < 0 || length > text_length)
		return false;
	const std::int64_t from = cursor.selectionStart() + start;
	return from >= 0 && from + length <= text_length;
}

} // namespace

bool TextDock::inject_input_method(const std::string &preedit, const std::string &committed, std::int64_t cursor,
				   std::int64_t replacement_start, std::int64_t replacement_length)
{
	if (!replacement_inside_text(*text_input, replacement_start, replacement_length))
		return false;
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
