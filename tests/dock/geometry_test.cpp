// Measuring, resizing and photographing the dock.

#include "dock/dock_geometry.h"
#include "dock_fixture.h"

#include <gtest/gtest.h>

#include <QDockWidget>
#include <QFormLayout>
#include <QImage>
#include <QLayout>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace clackery {
namespace {

QImage decode(const std::string &base64)
{
	const QByteArray png = QByteArray::fromBase64(QByteArray::fromStdString(base64));
	EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
	return QImage::fromData(png, "PNG");
}

TEST(DockImage, SizeLimits)
{
	struct Case {
		QSize size;
		bool ok;
	};
	const Case cases[] = {
	    {{0, 0}, false},      {{1, 1}, true},       {{0, 10}, false},
	    {{-1, 5}, false},     {{4096, 2048}, true}, {{4096, 2049}, false},
	    {{4097, 100}, false}, {{100, 4096}, true},  {{4000, 2100}, false},
	};
	for (const Case &k : cases)
		EXPECT_EQ(image_size_ok(k.size), k.ok) << k.size.width() << " x " << k.size.height();
}

TEST(DockImage, EncodesPngAsBase64)
{
	std::string data = "stale";
	int width = 7;
	int height = 7;
	EXPECT_FALSE(encode_png_base64(QPixmap(), data, width, height));
	EXPECT_EQ(data, "");
	EXPECT_EQ(width, 0);
	EXPECT_EQ(height, 0);

	QPixmap pixmap(10, 5);
	pixmap.fill(Qt::red);
	ASSERT_TRUE(encode_png_base64(pixmap, data, width, height));
	EXPECT_EQ(width, 10);
	EXPECT_EQ(height, 5);
	const QImage image = decode(data);
	EXPECT_EQ(image.size(), QSize(10, 5));
	EXPECT_EQ(image.pixelColor(3, 3), QColor(Qt::red));
}

class DockFrame : public ::testing::Test {
protected:
	void SetUp() override
	{
		dock = make_recording_dock(calls).release();
		frame = new QDockWidget(QStringLiteral("Clackery"), &window);
		frame->setObjectName(QStringLiteral("clackery_dock"));
		frame->setWidget(dock);
		window.addDockWidget(Qt::RightDockWidgetArea, frame);
		window.resize(700, 500);
		window.show();
		run_event_loop_once();
	}

	DockCalls calls;
	QMainWindow window;
	TextDock *dock = nullptr;
	QDockWidget *frame = nullptr;
};

TEST_F(DockFrame, ReportsWithoutChangingWhenNothingIsAsked)
{
	const QRect before = frame->geometry();
	const auto report = report_dock_geometry(frame, DockGeometryRequest{});
	ASSERT_TRUE(report);
	EXPECT_FALSE(report->floating);
	EXPECT_EQ(report->width, before.width());
	EXPECT_EQ(report->height, before.height());
	EXPECT_EQ(report->minimum_width, frame->minimumWidth());
	EXPECT_EQ(report->minimum_height, frame->minimumHeight());
	EXPECT_EQ(report->frame_width, frame->frameGeometry().width());
	EXPECT_EQ(report->available_width, frame->screen()->availableGeometry().width());
	EXPECT_EQ(report->available_height, frame->screen()->availableGeometry().height());
	EXPECT_EQ(frame->geometry(), before);
	EXPECT_FALSE(report_dock_geometry(nullptr, DockGeometryRequest{}));
}

TEST_F(DockFrame, RefusesSizesItCannotSet)
{
	struct Case {
		const char *what;
		std::optional<bool> floating;
		double width;
		double height;
	};
	const Case cases[] = {
	    {"size on a docked frame", std::nullopt, 400, 500},
	    {"size while docking", false, 400, 500},
	    {"fractional width", true, 10.5, 500},
	    {"zero width", true, 0, 500},
	    {"width above 4096", true, 4097, 500},
	    {"width without height", true, 400, 0},
	    {"negative height", true, 400, -1},
	    {"not a number", true, std::nan(""), 500},
	};
	for (const Case &k : cases) {
		DockGeometryRequest request;
		request.floating = k.floating;
		request.size_given = true;
		request.width = k.width;
		request.height = k.height;
		EXPECT_FALSE(report_dock_geometry(frame, request)) << k.what;
		EXPECT_FALSE(frame->isFloating()) << k.what << ": changed the frame";
	}
}

TEST_F(DockFrame, FloatsResizesAndDocksAgain)
{
	DockGeometryRequest request;
	request.floating = true;
	request.size_given = true;
	request.width = 420;
	request.height = 500;
	const auto floating = report_dock_geometry(frame, request);
	ASSERT_TRUE(floating);
	EXPECT_TRUE(floating->floating);
	EXPECT_TRUE(frame->isFloating());
	EXPECT_EQ(floating->width, 420);
	EXPECT_EQ(floating->height, 500);
	EXPECT_FALSE(frame->testAttribute(Qt::WA_ShowWithoutActivating)) << "the attribute was not restored";

	// Once floating, a size alone is enough.
	DockGeometryRequest resize;
	resize.size_given = true;
	resize.width = 300;
	resize.height = 320;
	const auto resized = report_dock_geometry(frame, resize);
	ASSERT_TRUE(resized);
	EXPECT_EQ(resized->width, 300);
	EXPECT_EQ(resized->height, 320);

	DockGeometryRequest dock_again;
	dock_again.floating = false;
	const auto docked = report_dock_geometry(frame, dock_again);
	ASSERT_TRUE(docked);
	EXPECT_FALSE(docked->floating);
	EXPECT_FALSE(frame->isFloating());
}

TEST_F(DockFrame, FrameOutsideTheAvailableAreaIsReported)
{
	DockGeometryRequest request;
	request.floating = true;
	request.size_given = true;
	request.width = 300;
	request.height = 300;
	ASSERT_TRUE(report_dock_geometry(frame, request));
	const QRect available = frame->screen()->availableGeometry();
	frame->move(available.topLeft());
	EXPECT_TRUE(report_dock_geometry(frame, DockGeometryRequest{})->frame_inside);
	frame->move(available.right() - 100, available.top());
	EXPECT_FALSE(report_dock_geometry(frame, DockGeometryRequest{})->frame_inside);
}

TEST_F(DockFrame, GrabsTheFloatingFrameAsItIs)
{
	frame->setFloating(true);
	frame->resize(420, 500);
	frame->show();
	run_event_loop_once();
	std::string data;
	int width = 0;
	int height = 0;
	ASSERT_TRUE(grab_dock_image(dock, data, width, height, frame));
	EXPECT_EQ(width, 420);
	EXPECT_EQ(height, 500);
	EXPECT_EQ(decode(data).size(), QSize(420, 500));
}

TEST_F(DockFrame, RefusesToGrabAnOversizedFrame)
{
	frame->setFloating(true);
	frame->resize(4097, 100);
	std::string data = "stale";
	int width = 1;
	int height = 1;
	EXPECT_FALSE(grab_dock_image(dock, data, width, height, frame));
	EXPECT_EQ(data, "");
	EXPECT_EQ(width, 0);
	EXPECT_EQ(height, 0);
}

TEST_F(DockFrame, GrabsDockedContentAtItsNaturalSizeAndPutsEverythingBack)
{
	TextDockAccess c(*dock);
	frame->setFloating(true);
	frame->resize(380, 300);
	frame->show();
	run_event_loop_once();
	c.scroll->verticalScrollBar()->setValue(120);
	const QSize content_before = c.content->size();
	const int scroll_before = c.scroll->verticalScrollBar()->value();
	ASSERT_GT(scroll_before, 0);

	QLayout *layout = c.content->layout();
	const QSize natural = layout->totalSizeHint().expandedTo(layout->totalMinimumSize()).expandedTo({560, 200});
	std::string data;
	int width = 0;
	int height = 0;
	ASSERT_TRUE(grab_dock_image(dock, data, width, height, nullptr));
	EXPECT_EQ(QSize(width, height), natural);
	EXPECT_GT(height, 300) << "the image shows more than the visible part";
	EXPECT_EQ(decode(data).size(), natural);

	EXPECT_EQ(c.content->size(), content_before);
	EXPECT_TRUE(c.scroll->widgetResizable());
	EXPECT_EQ(c.scroll->verticalScrollBar()->value(), scroll_before);
	EXPECT_EQ(c.scroll->horizontalScrollBar()->value(), 0);
}

TEST_F(DockFrame, SmallContentIsGrabbedAtTheMinimumSize)
{
	TextDockAccess c(*dock);
	// Leave only the clear button: natural size far below 560 x 200.
	for (QWidget *child : c.content->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
		child->setVisible(child == c.clear_button);
	std::string data;
	int width = 0;
	int height = 0;
	ASSERT_TRUE(grab_dock_image(dock, data, width, height, nullptr));
	EXPECT_EQ(width, 560);
	EXPECT_EQ(height, 200);
}

TEST_F(DockFrame, RefusesContentTooLargeToGrab)
{
	TextDockAccess c(*dock);
	const QSize content_before = c.content->size();
	std::string data;
	int width = 0;
	int height = 0;
	c.text_input->setMinimumHeight(3001);
	EXPECT_FALSE(grab_dock_image(dock, data, width, height, nullptr));
	c.text_input->setMinimumHeight(130);
	c.text_input->setMinimumWidth(1601);
	EXPECT_FALSE(grab_dock_image(dock, data, width, height, nullptr));
	EXPECT_EQ(c.content->size(), content_before);
	EXPECT_EQ(data, "");
}

TEST(DockImageWithoutDock, IsRefused)
{
	std::string data;
	int width = 0;
	int height = 0;
	EXPECT_FALSE(grab_dock_image(nullptr, data, width, height, nullptr));
}

} // namespace
} // namespace clackery

namespace clackery {
namespace {

// The dock as a streamer first sees it, written beside the test for a look.
TEST(DockSnapshot, DockedContentShowsEveryControl)
{
	DockCalls calls;
	DockLists lists;
	lists.skin_ids = {"cute_strawberry_milk", "cute_bunny", "navy_gold", "porcelain", "default"};
	lists.shortcut_ids = {"none", "clipstudio", "sai", "photoshop"};
	auto dock = make_recording_dock(calls, lists);
	dock->show_state(true, true, true, false, "dock", default_options(), "white");
	dock->inject_input_method("", "こんにちは、配信を始めます", 0, 0, 0);
	dock->inject_input_method("にほんご", "", 2, 0, 0);

	std::string data;
	int width = 0;
	int height = 0;
	ASSERT_TRUE(grab_dock_image(dock.get(), data, width, height, nullptr));
	const QImage image = decode(data);
	// Every form label fits: the content is never narrower than its widest row.
	EXPECT_GE(width, TextDockAccess(*dock).content->layout()->totalMinimumSize().width());
	EXPECT_TRUE(image.save(QStringLiteral("dock_docked.png")));
}

} // namespace
} // namespace clackery

namespace clackery {
namespace {

// The content width that fits every label beside its field: below it the form must wrap.
int side_by_side_width(QFormLayout *form)
{
	int labels = 0;
	int fields = 0;
	for (int row = 0; row < form->rowCount(); ++row) {
		labels = std::max(labels, form->itemAt(row, QFormLayout::LabelRole)->minimumSize().width());
		fields = std::max(fields, form->itemAt(row, QFormLayout::FieldRole)->minimumSize().width());
	}
	const QMargins margins = form->parentWidget()->layout()->contentsMargins();
	return labels + form->horizontalSpacing() + fields + margins.left() + margins.right();
}

TEST(DockSnapshot, NarrowFloatingDockKeepsEveryControlInside)
{
	DockCalls calls;
	QMainWindow window;
	auto *frame = new QDockWidget(QStringLiteral("Clackery"), &window);
	TextDock *dock = make_recording_dock(calls).release();
	frame->setWidget(dock);
	window.addDockWidget(Qt::RightDockWidgetArea, frame);
	window.show();
	dock->show_state(false, false, true, true, "dock", default_options(), "white");
	frame->setFloating(true);
	frame->resize(480, 700);
	frame->show();
	run_event_loop_once();
	// Just too narrow for labels beside fields, whatever the installed fonts make of them.
	TextDockAccess c(*dock);
	auto *form = c.content->findChild<QFormLayout *>();
	const int border = frame->width() - c.scroll->viewport()->width();
	frame->resize(border + side_by_side_width(form) - 8, 700);
	run_event_loop_once();

	std::string data;
	int width = 0;
	int height = 0;
	ASSERT_TRUE(grab_dock_image(dock, data, width, height, frame));
	EXPECT_TRUE(decode(data).save(QStringLiteral("dock_narrow.png")));
	EXPECT_LE(c.content->width(), c.scroll->viewport()->width()) << "controls cut off at the right edge";
	EXPECT_EQ(form->rowWrapPolicy(), QFormLayout::WrapAllRows);

	// The natural image keeps labels beside their fields, and the narrow layout comes back.
	const QSize narrow_content = c.content->size();
	ASSERT_TRUE(grab_dock_image(dock, data, width, height, nullptr));
	EXPECT_GE(width, 560);
	EXPECT_EQ(form->rowWrapPolicy(), QFormLayout::WrapAllRows);
	EXPECT_EQ(c.content->size(), narrow_content);

	frame->resize(480, 700);
	run_event_loop_once();
	EXPECT_EQ(form->rowWrapPolicy(), QFormLayout::DontWrapRows);
	EXPECT_LE(c.content->width(), c.scroll->viewport()->width());
}

} // namespace
} // namespace clackery
