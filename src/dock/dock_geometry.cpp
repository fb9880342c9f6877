#include "dock/dock_geometry.h"

#include "dock/control_dock.h"

#include <QBuffer>
#include <QByteArray>
#include <QDockWidget>
#include <QFormLayout>
#include <QLayout>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

#include <cmath>

namespace clackery {
namespace {

constexpr int kMaxImageSide = 4096;
constexpr qint64 kMaxImagePixels = 0x800000;
constexpr int kMaxPngBytes = 0x800000;
constexpr int kMinGrabWidth = 560;
constexpr int kMinGrabHeight = 200;
constexpr int kMaxGrabWidth = 1600;
constexpr int kMaxGrabHeight = 3000;

// A requested side: a whole number from 1 to 4096, else 0.
int requested_side(double value)
{
	if (!std::isfinite(value) || value < 1 || value > kMaxImageSide || std::floor(value) != value)
		return 0;
	return static_cast<int>(value);
}

// Changes the floating state without taking the focus from the streamer's window.
void set_floating_quietly(QDockWidget *frame, bool floating)
{
	const bool had_attribute = frame->testAttribute(Qt::WA_ShowWithoutActivating);
	frame->setAttribute(Qt::WA_ShowWithoutActivating, true);
	frame->setFloating(floating);
	frame->setAttribute(Qt::WA_ShowWithoutActivating, had_attribute);
}

void clear_outputs(std::string &image_data, int &width, int &height)
{
	image_data.clear();
	width = 0;
	height = 0;
}

void render_into(QPixmap &pixmap, QWidget *widget, const QColor &background)
{
	pixmap.setDevicePixelRatio(1);
	pixmap.fill(background);
	widget->render(&pixmap, QPoint(0, 0), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
}

bool grab_floating_frame(QDockWidget *frame, std::string &image_data, int &width, int &height)
{
	if (!image_size_ok(frame->size()))
		return false;
	QPixmap pixmap(frame->size());
	if (pixmap.isNull())
		return false;
	render_into(pixmap, frame, frame->palette().color(QPalette::Window));
	return encode_png_base64(pixmap, image_data, width, height);
}

// Remembers the content's size and the scroll area's state, and puts them back on leaving.
class ContentRestore {
public:
	// `content_size` and `form_wrap` are what they were before the grab touched the form.
	ContentRestore(QWidget *widget, QScrollArea *area, QFormLayout *form_layout,
		       QFormLayout::RowWrapPolicy form_wrap, QSize content_size)
	    : content(widget), scroll(area), form(form_layout), size(content_size), resizable(area->widgetResizable()),
	      horizontal(area->horizontalScrollBar()->value()), vertical(area->verticalScrollBar()->value()),
	      wrap(form_wrap)
	{
	}
	~ContentRestore()
	{
		if (form)
			form->setRowWrapPolicy(wrap);
		content->resize(size);
		content->layout()->activate();
		scroll->setWidgetResizable(resizable);
		scroll->horizontalScrollBar()->setValue(horizontal);
		scroll->verticalScrollBar()->setValue(vertical);
	}
	ContentRestore(const ContentRestore &) = delete;
	ContentRestore &operator=(const ContentRestore &) = delete;

private:
	QWidget *content;
	QScrollArea *scroll;
	QFormLayout *form;
	QSize size;
	bool resizable;
	int horizontal;
	int vertical;
	QFormLayout::RowWrapPolicy wrap;
};

} // namespace

std::optional<DockGeometryReport> report_dock_geometry(QDockWidget *frame, const DockGeometryRequest &request)
{
	if (!frame)
		return std::nullopt;
	const bool floating = request.floating.value_or(frame->isFloating());
	const int width = requested_side(request.width);
	const int height = requested_side(request.height);
	if (request.size_given && (!floating || width == 0 || height == 0))
		return std::nullopt;

	if (request.floating)
		set_floating_quietly(frame, floating);
	if (request.size_given)
		frame->resize(width, height);

	const QScreen *screen = frame->screen();
	const QRect available = screen ? screen->availableGeometry() : QRect();
	const QRect outer = frame->frameGeometry();
	DockGeometryReport report;
	report.floating = frame->isFloating();
	report.width = frame->width();
	report.height = frame->height();
	report.minimum_width = frame->minimumWidth();
	report.minimum_height = frame->minimumHeight();
	report.frame_width = outer.width();
	report.frame_height = outer.height();
	report.available_width = available.width();
	report.available_height = available.height();
	report.frame_inside = available.contains(outer, false);
	return report;
}

bool image_size_ok(const QSize &size)
{
	return !size.isEmpty() && size.width() <= kMaxImageSide && size.height() <= kMaxImageSide &&
	       qint64(size.width()) * size.height() <= kMaxImagePixels;
}

bool encode_png_base64(const QPixmap &pixmap, std::string &image_data, int &width, int &height)
{
	clear_outputs(image_data, width, height);
	if (pixmap.isNull() || !image_size_ok(pixmap.size()))
		return false;
	QByteArray png;
	QBuffer buffer(&png);
	if (!buffer.open(QIODevice::WriteOnly) || !pixmap.save(&buffer, "PNG", -1))
		return false;
	if (png.size() > kMaxPngBytes)
		return false;
	const QByteArray text = png.toBase64();
	image_data.assign(text.constData(), static_cast<std::size_t>(text.size()));
	width = pixmap.width();
	height = pixmap.height();
	return true;
}

// Lays the content out at its natural size, renders it, and puts the content, the scroll area
// and the scroll positions back as they were, without returning to the event loop in between.
bool render_natural_content(TextDock *dock, QPixmap &pixmap)
{
	QWidget *content = dock->content;
	QLayout *layout = content->layout();
	const QSize content_size = content->size();
	// A narrow dock stacks the form's labels above their fields; the natural layout has them
	// beside.
	auto *form = content->findChild<QFormLayout *>();
	const QFormLayout::RowWrapPolicy wrap = form ? form->rowWrapPolicy() : QFormLayout::DontWrapRows;
	if (form)
		form->setRowWrapPolicy(QFormLayout::DontWrapRows);
	dock->ensurePolished();
	content->ensurePolished();
	layout->activate();
	QSize size = layout->totalSizeHint().expandedTo(layout->totalMinimumSize());
	size = size.expandedTo(QSize(kMinGrabWidth, kMinGrabHeight));
	if (size.width() > kMaxGrabWidth || size.height() > kMaxGrabHeight) {
		if (form)
			form->setRowWrapPolicy(wrap);
		return false;
	}
	const ContentRestore restore(content, dock->scroll, form, wrap, content_size);
	dock->scroll->setWidgetResizable(false);
	content->resize(size);
	layout->activate();
	pixmap = QPixmap(content->size());
	if (pixmap.isNull())
		return false;
	render_into(pixmap, content, dock->palette().color(QPalette::Window));
	return true;
}

bool grab_dock_image(TextDock *dock, std::string &image_data, int &width, int &height, QDockWidget *frame)
{
	clear_outputs(image_data, width, height);
	if (!dock)
		return false;
	if (frame)
		return grab_floating_frame(frame, image_data, width, height);
	QPixmap pixmap;
	if (!render_natural_content(dock, pixmap))
		return false;
	return encode_png_base64(pixmap, image_data, width, height);
}

} // namespace clackery
