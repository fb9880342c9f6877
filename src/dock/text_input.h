#pragma once
// The dock's text field. After every change of its text, its cursor or the input method's
// composition it reports its whole state as one text frame, so the page can redraw the field
// without keeping history. Its text never grows beyond the last 4000 code points.

#include "common/records.h"

#include <QString>
#include <QTextEdit>

#include <cstdint>
#include <functional>
#include <string>

namespace clackery {

class TextInput : public QTextEdit {
public:
	TextInput(std::function<void(const TextFrame &)> frame_callback, QWidget *parent);
	~TextInput() override;

	// The field's frame now. Enforces the text limit and makes any scheduled frame stale.
	TextFrame build_frame(const std::string &op, const std::string &committed);

	// Empties the field and any composition; always sends one "clear" frame.
	void clear_text();

	// Plain text or a composition in progress.
	bool holds_text() const;

	// Selects from `anchor` to `caret` (UTF-16 units, clamped into the text) and sends a frame.
	void select_range(std::int64_t caret, std::int64_t anchor);

protected:
	void keyPressEvent(QKeyEvent *event) override;
	void inputMethodEvent(QInputMethodEvent *event) override;
	void insertFromMimeData(const QMimeData *source) override;

private:
	void enforce_text_limit();
	void schedule_frame();
	void send_frame(const std::string &op, const std::string &committed);

	std::function<void(const TextFrame &)> on_text_frame;
	QString preedit;
	int preedit_cursor = 0;
	// Above 0 while the field edits itself: those edits send nothing.
	int suppress_depth = 0;
	// A scheduled frame runs only while this is still the value it saw.
	std::uint64_t edit_generation = 0;
};

} // namespace clackery
