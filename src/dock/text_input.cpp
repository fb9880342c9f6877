#include "dock/text_input.h"

#include "common/qt_text.h"
#include "common/text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>

namespace clackery {
namespace {

// Marks the field's own edits for as long as it lives.
class Suppress {
public:
	explicit Suppress(int &counter) : depth(counter) { ++depth; }
	~Suppress() { --depth; }
	Suppress(const Suppress &) = delete;
	Suppress &operator=(const Suppress &) = delete;

private:
	int &depth;
};

std::uint64_t non_negative(std::int64_t value)
{
	return value < 0 ? 0 : static_cast<std::uint64_t>(value);
}

const char *key_op(int key)
{
	switch (key) {
	case Qt::Key_Backspace:
		return "backspace";
	case Qt::Key_Return:
	case Qt::Key_Enter:
		return "enter";
	default:
		return "type";
	}
}

} // namespace

TextInput::TextInput(std::function<void(const TextFrame &)> frame_callback, QWidget *parent)
    : QTextEdit(parent), on_text_frame(std::move(frame_callback))
{
	setAcceptRichText(false);
	setUndoRedoEnabled(false);
	setPlaceholderText(QStringLiteral("ここに打った文字を表示します"));
	setMinimumHeight(130);
	// Mouse clicks and other edits that do not pass through our overrides.
	connect(this, &QTextEdit::textChanged, this, [this] { schedule_frame(); });
	connect(this, &QTextEdit::cursorPositionChanged, this, [this] { schedule_frame(); });
}

TextInput::~TextInput() = default;

void TextInput::enforce_text_limit()
{
	const std::string text = qstring_to_utf8(toPlainText());
	const QTextCursor current = textCursor();
	const int position = current.position();
	const int anchor = current.anchor();
	const TextWindow at_position = text_window(text, non_negative(position));
	const TextWindow at_anchor = text_window(text, non_negative(anchor));

	const bool moved = static_cast<std::uint64_t>(position) != at_position.cursor ||
			   static_cast<std::uint64_t>(anchor) != at_anchor.cursor;
	if (at_position.dropped > 0) {
		QTextCursor front(document());
		front.setPosition(0);
		front.setPosition(static_cast<int>(at_position.dropped), QTextCursor::KeepAnchor);
		front.removeSelectedText();
	} else if (!moved) {
		return;
	}
	QTextCursor restored(document());
	restored.setPosition(static_cast<int>(at_anchor.cursor));
	restored.setPosition(static_cast<int>(at_position.cursor), QTextCursor::KeepAnchor);
	setTextCursor(restored);
}

TextFrame TextInput::build_frame(const std::string &op, const std::string &committed)
{
	++edit_generation;
	{
		Suppress suppress(suppress_depth);
		enforce_text_limit();
	}
	TextFrame frame;
	frame.op = op;
	frame.text = qstring_to_utf8(toPlainText());
	frame.preedit = qstring_to_utf8(preedit);
	frame.cursor = preedit_cursor;
	frame.caret = textCursor().position();
	frame.committed = text_window(committed, 0).text;
	return frame;
}

void TextInput::send_frame(const std::string &op, const std::string &committed)
{
	if (suppress_depth != 0)
		return;
	const TextFrame frame = build_frame(op, committed);
	if (on_text_frame)
		on_text_frame(frame);
}

void TextInput::schedule_frame()
{
	if (suppress_depth != 0)
		return;
	const std::uint64_t generation = ++edit_generation;
	// One keystroke emits several change signals: they collapse into one frame per pass.
	QTimer::singleShot(0, this, [this, generation] {
		if (edit_generation == generation && suppress_depth == 0)
			send_frame("type", std::string());
	});
}

void TextInput::keyPressEvent(QKeyEvent *event)
{
	const QString text_before = toPlainText();
	const QTextCursor before = textCursor();
	const int position_before = before.position();
	const int anchor_before = before.anchor();
	{
		Suppress suppress(suppress_depth);
		QTextEdit::keyPressEvent(event);
	}
	const QTextCursor after = textCursor();
	if (toPlainText() == text_before && after.position() == position_before && after.anchor() == anchor_before)
		return;
	preedit.clear();
	preedit_cursor = 0;
	send_frame(key_op(event->key()), std::string());
}

void TextInput::inputMethodEvent(QInputMethodEvent *event)
{
	std::int64_t composition_cursor = event->preeditString().size();
	for (const QInputMethodEvent::Attribute &attribute : event->attributes()) {
		if (attribute.type == QInputMethodEvent::Cursor)
			composition_cursor = attribute.start;
	}
	const TextWindow window =
	    text_window(qstring_to_utf8(event->preeditString()), non_negative(composition_cursor));
	{
		Suppress suppress(suppress_depth);
		QTextEdit::inputMethodEvent(event);
	}
	preedit = utf8_to_qstring(window.text);
	preedit_cursor = static_cast<int>(window.cursor);
	const bool commits = !event->commitString().isEmpty() || event->replacementLength() != 0;
	send_frame(commits ? "commit" : "preedit", qstring_to_utf8(event->commitString()));
}

void TextInput::insertFromMimeData(const QMimeData *source)
{
	if (!source || !source->hasText())
		return;
	{
		Suppress suppress(suppress_depth);
		QString text = source->text();
		text.replace(QChar(0), QChar(0xFFFD));
		insertPlainText(text);
		preedit.clear();
		preedit_cursor = 0;
	}
	// A paste by key is reported by the key press itself.
	if (suppress_depth == 0)
		send_frame("type", std::string());
}

void TextInput::clear_text()
{
	{
		Suppress suppress(suppress_depth);
		// An empty event removes a composition that the field is still showing.
		QInputMethodEvent end_composition;
		QTextEdit::inputMethodEvent(&end_composition);
		clear();
		preedit.clear();
		preedit_cursor = 0;
	}
	if (suppress_depth == 0)
		send_frame("clear", std::string());
}

bool TextInput::holds_text() const
{
	return !toPlainText().isEmpty() || !preedit.isEmpty();
}

void TextInput::select_range(std::int64_t caret, std::int64_t anchor)
{
	const std::string text = qstring_to_utf8(toPlainText());
	const std::uint64_t mapped_anchor = text_window(text, non_negative(anchor)).cursor;
	const std::uint64_t mapped_caret = text_window(text, non_negative(caret)).cursor;
	{
		Suppress suppress(suppress_depth);
		QTextCursor selection(document());
		selection.setPosition(static_cast<int>(mapped_anchor));
		selection.setPosition(static_cast<int>(mapped_caret), QTextCursor::KeepAnchor);
		setTextCursor(selection);
	}
	if (suppress_depth == 0)
		send_frame("type", std::string());
}

} // namespace clackery
