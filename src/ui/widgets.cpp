#include "ui/widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <algorithm>
#include <cmath>

namespace ziv {

namespace {
constexpr int kThumbHalfHeight = 5;
constexpr int kThumbLeft = 8;
constexpr int kThumbRight = 23;  // exclusive
constexpr int kChannelLeft = 13;
constexpr int kChannelWidth = 5;
}  // namespace

TTrackBarWidget::TTrackBarWidget(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Vertical);
    setFocusPolicy(Qt::StrongFocus);
}

int TTrackBarWidget::Top() const {
    return Margin + kThumbHalfHeight + 2;
}
int TTrackBarWidget::Bottom() const {
    return height() - 1 - Margin - kThumbHalfHeight - 2;
}

int TTrackBarWidget::YForValue(int value) const {
    const int span = maximum() - minimum();
    if (span <= 0)
        return Bottom();
    return Bottom() -
           static_cast<int>(std::lround(double(value - minimum()) * (Bottom() - Top()) / span));
}

int TTrackBarWidget::ValueForY(int y) const {
    const int span = maximum() - minimum();
    if (Bottom() <= Top() || span <= 0)
        return minimum();
    const double v = minimum() + double(Bottom() - y) * span / (Bottom() - Top());
    return std::clamp(static_cast<int>(std::lround(v)), minimum(), maximum());
}

QRect TTrackBarWidget::ThumbRect() const {
    const int y = YForValue(value());
    return QRect(kThumbLeft, y - kThumbHalfHeight, kThumbRight - kThumbLeft,
                 2 * kThumbHalfHeight + 1);
}

void TTrackBarWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    const QColor dark = pal.color(QPalette::Dark);
    const QColor light = pal.color(QPalette::Light);
    const QColor text =
        pal.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText);

    // Tick marks on the left, a longer one at each end.
    p.setPen(text);
    for (int v = minimum(); v <= maximum(); v += TickGap) {
        const int y = YForValue(v);
        const bool end = v == minimum() || v == maximum();
        p.drawLine(end ? 2 : 3, y, 5, y);
    }

    // The sunken channel, filled aqua.
    const QRect channel(kChannelLeft, Top() - 2, kChannelWidth, Bottom() - Top() + 5);
    p.fillRect(channel, isEnabled() ? QColor(0x00, 0xff, 0xff) : pal.color(QPalette::Window));
    p.setPen(dark);
    p.drawLine(channel.topLeft(), channel.topRight());
    p.drawLine(channel.topLeft(), channel.bottomLeft());
    p.setPen(light);
    p.drawLine(channel.bottomLeft(), channel.bottomRight());
    p.drawLine(channel.topRight(), channel.bottomRight());

    // The thumb: a raised box with a point toward the ticks.
    const QRect t = ThumbRect();
    const int cy = t.center().y();
    const QPolygon thumb{QPoint(t.left(), cy), QPoint(t.left() + 4, t.top()),
                         QPoint(t.right(), t.top()), QPoint(t.right(), t.bottom()),
                         QPoint(t.left() + 4, t.bottom())};
    p.setPen(Qt::NoPen);
    p.setBrush(pal.color(QPalette::Button));
    p.drawPolygon(thumb);
    p.setPen(light);
    p.drawLine(QPoint(t.left(), cy), QPoint(t.left() + 4, t.top()));
    p.drawLine(QPoint(t.left() + 4, t.top()), QPoint(t.right(), t.top()));
    p.setPen(pal.color(QPalette::Shadow));
    p.drawLine(QPoint(t.right(), t.top()), QPoint(t.right(), t.bottom()));
    p.drawLine(QPoint(t.right(), t.bottom()), QPoint(t.left() + 4, t.bottom()));
    p.drawLine(QPoint(t.left() + 4, t.bottom()), QPoint(t.left(), cy));

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(0, 0, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

void TTrackBarWidget::mousePressEvent(QMouseEvent* event) {
    // Other buttons do nothing here but are taken, so that their release
    // comes back to the track bar.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    const int y = event->position().toPoint().y();
    const QRect thumb = ThumbRect();
    if (thumb.adjusted(0, -1, 0, 1).contains(event->position().toPoint())) {
        dragging_ = true;
        dragOffset_ = y - thumb.center().y();
        setSliderDown(true);
    } else {
        // A press beside the thumb moves it one page toward the pointer.
        triggerAction(y < thumb.center().y() ? SliderPageStepAdd : SliderPageStepSub);
    }
    event->accept();
}

void TTrackBarWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        event->ignore();
        return;
    }
    setSliderPosition(ValueForY(event->position().toPoint().y() - dragOffset_));
    event->accept();
}

void TTrackBarWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        setSliderDown(false);
    }
    event->accept();
    if (OnMouseUp)
        OnMouseUp();
}

}  // namespace ziv
