#include "ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace ziv {

namespace {

// Draws one picture twice: in its colours, and in the grey of a disabled
// button (darker shapes on a light shadow, as the classic toolkit does).
QIcon MakeGlyph(QSize size, const std::function<void(QPainter&, bool disabled)>& draw) {
    QIcon icon;
    for (const bool disabled : {false, true}) {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing, true);
        draw(painter, disabled);
        painter.end();
        icon.addPixmap(pixmap, disabled ? QIcon::Disabled : QIcon::Normal);
    }
    return icon;
}

const QColor kDisabledFill(0x80, 0x80, 0x80);
const QColor kDisabledShadow(0xff, 0xff, 0xff);

void Triangle(QPainter& p, const QPolygonF& shape, const QColor& fill, const QColor& edge) {
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawPolygon(shape);
}

}  // namespace

QIcon StartGlyph() {
    return MakeGlyph(QSize(16, 16), [](QPainter& p, bool disabled) {
        const QPolygonF shape{QPointF(4.5, 2.5), QPointF(13.5, 8), QPointF(4.5, 13.5)};
        if (disabled) {
            Triangle(p, shape.translated(1, 1), kDisabledShadow, kDisabledShadow);
            Triangle(p, shape, kDisabledFill, kDisabledFill);
        } else {
            Triangle(p, shape, QColor(0x00, 0xc0, 0x00), QColor(0x00, 0x60, 0x00));
        }
    });
}

QIcon TimerGlyph() {
    return MakeGlyph(QSize(16, 17), [](QPainter& p, bool disabled) {
        const QRectF face(0.5, 0.5, 14, 14);
        p.setPen(QPen(disabled ? kDisabledFill : QColor(0x00, 0x00, 0x80), 1));
        p.setBrush(disabled ? QColor(0xd0, 0xd0, 0xd0) : QColor(0x40, 0x80, 0xff));
        p.drawEllipse(face);
        // Hour marks and hands.
        p.setPen(QPen(disabled ? kDisabledFill : Qt::white, 1));
        const QPointF c = face.center();
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(c);
            p.rotate(90.0 * i);
            p.drawLine(QPointF(0, -6), QPointF(0, -5));
            p.restore();
        }
        p.drawLine(c, c + QPointF(0, -4.5));
        p.drawLine(c, c + QPointF(3.5, 0));
        const QPolygonF play{QPointF(7.5, 8.5), QPointF(15.5, 12.5), QPointF(7.5, 16.5)};
        if (disabled)
            Triangle(p, play, kDisabledFill, kDisabledFill);
        else
            Triangle(p, play, QColor(0x00, 0xc0, 0x00), QColor(0x00, 0x60, 0x00));
    });
}

QIcon StopGlyph() {
    return MakeGlyph(QSize(16, 16), [](QPainter& p, bool disabled) {
        p.setRenderHint(QPainter::Antialiasing, false);
        const QRect square(3, 3, 10, 10);
        if (disabled) {
            p.fillRect(square.translated(1, 1), kDisabledShadow);
            p.fillRect(square, kDisabledFill);
        } else {
            p.fillRect(square, QColor(0xe0, 0x00, 0x00));
            p.setPen(QColor(0x80, 0x00, 0x00));
            p.drawRect(square.adjusted(0, 0, -1, -1));
        }
    });
}

QIcon PanelGlyph() {
    return MakeGlyph(QSize(9, 6), [](QPainter& p, bool disabled) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(disabled ? kDisabledFill : QColor(Qt::black));
        // Rows of 9, 7, 5, 3, 1 pixels, centred.
        for (int row = 0; row < 5; ++row)
            p.drawRect(QRect(row, row, 9 - 2 * row, 1));
    });
}

}  // namespace ziv
