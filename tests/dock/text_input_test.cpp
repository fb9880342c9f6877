// The text field reports one complete frame per change, with positions in UTF-16 units.

#include "common/text.h"
#include "dock_fixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace clackery {
namespace {

// Reaches the paste and drop entry point the way QTextEdit does.
class PasteTarget : public TextInput {
public:
	using TextInput::insertFromMimeData;
	using TextInput::TextInput;
};

class TextField : public ::testing::Test {
protected:
	void SetUp() override
	{
		dock = make_recording_dock(calls);
		input = TextDockAccess(*dock).text_input;
	}

	// Types one printable key as the keyboard would.
	bool type_key(int key, const QString &text)
	{
		QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
		return QCoreApplication::sendEvent(input, &press);
	}

	const TextFrame &last() const { return calls.frames.back(); }

	DockCalls calls;
	std::unique_ptr<TextDock> dock;
	TextInput *input = nullptr;
};

TEST_F(TextField, OneLetterSendsOneTypeFrame)
{
	type_key(Qt::Key_A, QStringLiteral("a"));
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "type");
	EXPECT_EQ(last().text, "a");
	EXPECT_EQ(last().caret, 1);
	EXPECT_EQ(last().preedit, "");
	EXPECT_EQ(last().committed, "");
	EXPECT_EQ(last().cursor, 0);
	run_event_loop_once();
	run_event_loop_once();
	EXPECT_EQ(calls.frames.size(), 1u) << "the change signals sent a second frame";
}

TEST_F(TextField, KeysThatChangeNothingSendNothing)
{
	dock->simulate_key("Left", false, false);
	dock->simulate_key("Backspace", false, false);
	dock->simulate_key("Home", true, false);
	dock->simulate_key("Delete", false, true);
	run_event_loop_once();
	EXPECT_TRUE(calls.frames.empty());
}

TEST_F(TextField, BackspaceAndEnterNameTheirFrames)
{
	type_key(Qt::Key_A, QStringLiteral("a"));
	type_key(Qt::Key_B, QStringLiteral("b"));
	dock->simulate_key("Backspace", false, false);
	EXPECT_EQ(last().op, "backspace");
	EXPECT_EQ(last().text, "a");
	EXPECT_EQ(last().caret, 1);
	dock->simulate_key("Enter", false, false);
	EXPECT_EQ(last().op, "enter");
	EXPECT_EQ(last().text, "a\n");
	EXPECT_EQ(last().caret, 2);
	dock->simulate_key("Left", true, false);
	EXPECT_EQ(last().op, "type"); // a selection change counts
	EXPECT_EQ(last().caret, 1);
	EXPECT_EQ(calls.frames.size(), 5u);
}

TEST_F(TextField, UnknownKeyNamesAreRefused)
{
	for (const char *name : {"Tab", "enter", "", "Escape"})
		EXPECT_FALSE(dock->simulate_key(name, false, false)) << name;
	EXPECT_TRUE(calls.frames.empty());
}

TEST_F(TextField, JapaneseCompositionThenCommit)
{
	ASSERT_TRUE(dock->inject_input_method("にほんご", "", 2, 0, 0));
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "preedit");
	EXPECT_EQ(last().preedit, "にほんご");
	EXPECT_EQ(last().cursor, 2);
	EXPECT_EQ(last().text, "");
	EXPECT_EQ(last().caret, 0);
	EXPECT_TRUE(dock->has_text()) << "a composition alone counts as text";

	ASSERT_TRUE(dock->inject_input_method("", "日本語", 0, 0, 0));
	ASSERT_EQ(calls.frames.size(), 2u);
	EXPECT_EQ(last().op, "commit");
	EXPECT_EQ(last().committed, "日本語");
	EXPECT_EQ(last().preedit, "");
	EXPECT_EQ(last().cursor, 0);
	EXPECT_EQ(last().text, "日本語");
	EXPECT_EQ(last().caret, 3);
	run_event_loop_once();
	EXPECT_EQ(calls.frames.size(), 2u);
}

TEST_F(TextField, CompositionWithoutCursorAttributeEndsAtItsLength)
{
	QInputMethodEvent event(QStringLiteral("かな"), {});
	QCoreApplication::sendEvent(input, &event);
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "preedit");
	EXPECT_EQ(last().cursor, 2);
}

TEST_F(TextField, ReplacementWithoutCommitTextIsACommit)
{
	dock->inject_input_method("", "ab", 0, 0, 0);
	dock->select_text(1, 1);
	dock->inject_input_method("", "", 0, 0, 1);
	EXPECT_EQ(last().op, "commit");
	EXPECT_EQ(last().committed, "");
	EXPECT_EQ(last().text, "a");
}

// Ranges count from the caret, in the text left once the selection is gone. obs-websocket hands
// 18446744073709551615 over as -1, which at the start of the text reaches outside it.
TEST_F(TextField, ReplacementRangesOutsideTheTextAreRefused)
{
	const struct {
		std::int64_t caret, anchor, start, length;
		bool accepted;
		const char *text; // afterwards
	} cases[] = {
	    {6, 6, -1, 1, true, "abcdeX"},    {6, 6, -6, 6, true, "X"},        {6, 6, 0, 0, true, "abcdefX"},
	    {0, 0, 6, 0, true, "abcdefX"},    {6, 6, 8000, 0, false, nullptr}, {6, 6, 1, 0, false, nullptr},
	    {0, 0, -1, 0, false, nullptr},    {6, 6, -7, 1, false, nullptr},   {6, 6, -6, 7, false, nullptr},
	    {6, 6, -1, -1, false, nullptr},   {2, 4, 2, 0, true, "abefX"},     {2, 4, 3, 0, false, nullptr},
	    {3, 3, -8000, 0, false, nullptr},
	};
	for (const auto &c : cases) {
		SCOPED_TRACE(testing::Message() << c.caret << "/" << c.anchor << " " << c.start << "+" << c.length);
		input->clear();
		dock->inject_input_method("", "abcdef", 0, 0, 0);
		dock->select_text(c.caret, c.anchor);
		const std::size_t frames = calls.frames.size();
		EXPECT_EQ(dock->inject_input_method("", "X", 0, c.start, c.length), c.accepted);
		EXPECT_EQ(input->toPlainText().toStdString(), c.text ? c.text : "abcdef");
		EXPECT_EQ(calls.frames.size(), frames + (c.accepted ? 1u : 0u));
	}
}

TEST_F(TextField, SurrogatePairsCountTwoUnits)
{
	// U+1F600 needs a surrogate pair: two UTF-16 units.
	dock->inject_input_method("a\xF0\x9F\x98\x80"
				  "b",
				  "", 3, 0, 0);
	EXPECT_EQ(last().cursor, 3);
	dock->inject_input_method("a\xF0\x9F\x98\x80"
				  "b",
				  "", 2, 0, 0);
	EXPECT_EQ(last().cursor, 1) << "a cursor inside the pair moves before it";
	dock->inject_input_method("", "x\xF0\x9F\x98\x80", 0, 0, 0);
	EXPECT_EQ(last().text, "x\xF0\x9F\x98\x80");
	EXPECT_EQ(last().caret, 3);

	EXPECT_TRUE(dock->select_text(2, 2));
	EXPECT_EQ(last().op, "type");
	EXPECT_EQ(last().caret, 1);
	EXPECT_TRUE(dock->select_text(8000, 0));
	EXPECT_EQ(last().caret, 3);
	EXPECT_EQ(input->textCursor().anchor(), 0);
	EXPECT_TRUE(dock->select_text(-5, -5));
	EXPECT_EQ(last().caret, 0);
}

TEST_F(TextField, InjectedCursorIsClampedIntoThePreedit)
{
	dock->inject_input_method("かな", "", 8000, 0, 0);
	EXPECT_EQ(last().cursor, 2);
	dock->inject_input_method("かな", "", -3, 0, 0);
	EXPECT_EQ(last().cursor, 0);
}

TEST_F(TextField, ClearAlwaysSendsOneClearFrame)
{
	dock->press_clear_control();
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "clear");
	EXPECT_EQ(last().text, "");

	dock->inject_input_method("", "文字", 0, 0, 0);
	dock->inject_input_method("もじ", "", 2, 0, 0);
	dock->press_clear_control();
	EXPECT_EQ(last().op, "clear");
	EXPECT_EQ(last().text, "");
	EXPECT_EQ(last().preedit, "");
	EXPECT_EQ(last().cursor, 0);
	EXPECT_FALSE(dock->has_text());
	EXPECT_EQ(calls.frames.size(), 4u);
	run_event_loop_once();
	EXPECT_EQ(calls.frames.size(), 4u);
}

TEST_F(TextField, OtherChangesCollapseIntoOneDeferredFrame)
{
	input->setPlainText(QStringLiteral("かきくけこ"));
	QTextCursor cursor = input->textCursor();
	cursor.setPosition(2);
	input->setTextCursor(cursor);
	cursor.setPosition(4);
	input->setTextCursor(cursor);
	EXPECT_TRUE(calls.frames.empty()) << "sent before the event loop ran";
	run_event_loop_once();
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "type");
	EXPECT_EQ(last().text, "かきくけこ");
	EXPECT_EQ(last().caret, 4);
}

TEST_F(TextField, CurrentFrameSendsNothingAndCancelsTheDeferredOne)
{
	input->setPlainText(QStringLiteral("abc"));
	TextFrame frame;
	dock->current_frame(frame);
	EXPECT_EQ(frame.op, "type");
	EXPECT_EQ(frame.text, "abc");
	run_event_loop_once();
	EXPECT_TRUE(calls.frames.empty());
}

TEST_F(TextField, KeyPasteSendsOneFrame)
{
	QApplication::clipboard()->setText(QStringLiteral("貼り付け"));
	if (QApplication::clipboard()->text() != QStringLiteral("貼り付け"))
		GTEST_SKIP() << "this platform has no clipboard";
	QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
	QCoreApplication::sendEvent(input, &paste);
	run_event_loop_once();
	ASSERT_EQ(calls.frames.size(), 1u);
	EXPECT_EQ(last().op, "type");
	EXPECT_EQ(last().text, "貼り付け");
}

TEST(TextFieldPaste, KeepsTheLastFourThousandCodePoints)
{
	std::vector<TextFrame> frames;
	PasteTarget target([&](const TextFrame &frame) { frames.push_back(frame); }, nullptr);
	QString text;
	for (int i = 0; i < 5000; ++i)
		text += QChar(u'a' + i % 26);
	// The kept tail starts at 1000, which is 'm' (1000 % 26 == 12).
	QMimeData data;
	data.setText(text);
	target.insertFromMimeData(&data);
	ASSERT_EQ(frames.size(), 1u);
	EXPECT_EQ(frames[0].op, "type");
	EXPECT_EQ(utf8_to_code_points(frames[0].text).size(), 4000u);
	EXPECT_EQ(frames[0].text.front(), 'm');
	EXPECT_EQ(frames[0].caret, 4000);
	EXPECT_EQ(target.toPlainText().size(), 4000);
	EXPECT_EQ(target.toPlainText(), text.right(4000));
}

TEST(TextFieldPaste, SurrogatePairsCountAsOneCodePoint)
{
	std::vector<TextFrame> frames;
	PasteTarget target([&](const TextFrame &frame) { frames.push_back(frame); }, nullptr);
	QString text;
	for (int i = 0; i < 4001; ++i)
		text += QString::fromUtf8("\xF0\x9F\x98\x80");
	QMimeData data;
	data.setText(text);
	target.insertFromMimeData(&data);
	ASSERT_EQ(frames.size(), 1u);
	EXPECT_EQ(utf8_to_code_points(frames[0].text).size(), 4000u);
	EXPECT_EQ(frames[0].caret, 8000);
	EXPECT_EQ(target.toPlainText().size(), 8000);
}

TEST(TextFieldPaste, NulBecomesReplacementAndNonTextIsIgnored)
{
	std::vector<TextFrame> frames;
	PasteTarget target([&](const TextFrame &frame) { frames.push_back(frame); }, nullptr);
	QMimeData image;
	image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG", 4));
	target.insertFromMimeData(&image);
	target.insertFromMimeData(nullptr);
	EXPECT_TRUE(frames.empty());

	QMimeData data;
	data.setText(QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b"));
	target.insertFromMimeData(&data);
	ASSERT_EQ(frames.size(), 1u);
	EXPECT_EQ(frames[0].text, "a\xEF\xBF\xBD"
				  "b");
}

TEST(TextFieldPaste, EndsTheComposition)
{
	std::vector<TextFrame> frames;
	PasteTarget target([&](const TextFrame &frame) { frames.push_back(frame); }, nullptr);
	QInputMethodEvent compose(QStringLiteral("かな"), {});
	QCoreApplication::sendEvent(&target, &compose);
	QMimeData data;
	data.setText(QStringLiteral("x"));
	target.insertFromMimeData(&data);
	EXPECT_EQ(frames.back().preedit, "");
	EXPECT_EQ(frames.back().cursor, 0);
	EXPECT_EQ(frames.back().text, "x");
}

} // namespace
} // namespace clackery
