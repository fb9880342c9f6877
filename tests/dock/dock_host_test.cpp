// An undocked dock stays usable: too small a floating frame grows and comes back on screen.

#include "core/dock_host.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QVBoxLayout>

namespace clackery {
namespace {

TEST(DockFit, FittedGeometry)
{
	struct Case {
		const char *what;
		QRect frame;
		QRect available;
		std::optional<QRect> fitted;
	};
	const QRect full_hd(0, 0, 1920, 1040);
	const Case cases[] = {
	    {"tall but narrow keeps its height", {0, 0, 300, 900}, full_hd, QRect(0, 0, 400, 900)},
	    {"small grows to the minimum", {0, 0, 300, 300}, full_hd, QRect(0, 0, 400, 820)},
	    {"never beyond 90 % of a small screen", {0, 0, 300, 300}, {0, 0, 1280, 720}, QRect(0, 0, 400, 648)},
	    {"large enough is left alone, even off screen", {1700, 800, 500, 600}, full_hd, std::nullopt},
	    {"pulled back from the right and the bottom", {1800, 900, 300, 300}, full_hd, QRect(1520, 220, 400, 820)},
	    {"pulled back from the left and the top", {-50, -20, 300, 300}, full_hd, QRect(0, 0, 400, 820)},
	    {"on a second screen", {2000, 100, 200, 200}, {1920, 0, 1280, 1024}, QRect(2000, 100, 400, 820)},
	    {"exactly 320 x 480 stays", {10, 10, 320, 480}, full_hd, std::nullopt},
	    {"319 wide grows", {10, 10, 319, 480}, full_hd, QRect(10, 10, 400, 820)},
	    {"no usable screen", {0, 0, 100, 100}, {0, 0, 1, 1}, std::nullopt},
	};
	for (const Case &k : cases)
		EXPECT_EQ(fitted_dock_geometry(k.frame, k.available), k.fitted) << k.what;
}

TEST(DockFit, FindsTheEnclosingFrame)
{
	QDockWidget frame;
	auto *inner = new QWidget();
	auto *label = new QLabel(inner);
	frame.setWidget(inner);
	EXPECT_EQ(enclosing_dock_frame(label), &frame);
	EXPECT_EQ(enclosing_dock_frame(inner), &frame);
	EXPECT_EQ(enclosing_dock_frame(&frame), nullptr) << "the frame itself is not its own enclosure";
	QWidget alone;
	EXPECT_EQ(enclosing_dock_frame(&alone), nullptr);
	EXPECT_EQ(enclosing_dock_frame(nullptr), nullptr);
}

TEST(DockFit, ScheduledFitGrowsAFloatingFrameOnce)
{
	QMainWindow window;
	auto *frame = new QDockWidget(QStringLiteral("Clackery"), &window);
	frame->setWidget(new QLabel(QStringLiteral("Clackery")));
	window.addDockWidget(Qt::RightDockWidgetArea, frame);
	window.show();
	frame->setFloating(true);
	frame->show();
	frame->resize(200, 200);
	frame->move(0, 0);
	const QRect available = frame->screen()->availableGeometry();

	schedule_dock_fit(frame);
	EXPECT_EQ(frame->size(), QSize(200, 200)) << "the fit waits for the event loop";
	QCoreApplication::processEvents();
	const QSize expected(std::min(available.width() * 9 / 10, 400), std::min(available.height() * 9 / 10, 820));
	EXPECT_EQ(frame->frameGeometry().size(), expected);

	// A docked frame is the main window's business.
	frame->setFloating(false);
	frame->resize(100, 100);
	const QSize docked = frame->size();
	fit_floating_dock(frame);
	EXPECT_EQ(frame->size(), docked);
}

TEST(DockFit, DestroyedFrameDropsTheScheduledFit)
{
	auto *frame = new QDockWidget();
	schedule_dock_fit(frame);
	delete frame;
	QCoreApplication::processEvents(); // a fit of the deleted frame would crash here
	schedule_dock_fit(nullptr);
	QCoreApplication::processEvents();
}

} // namespace
} // namespace clackery
