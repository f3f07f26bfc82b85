#include "pictures.h"

#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>

#include <utility>

namespace {

// Every picture is drawn on a 16 x 16 grid; the painter is scaled to the size asked for. Coordinates at
// .5 put one-unit strokes on whole pixels at the common 16-pixel size.
constexpr qreal Grid = 16.0;

QPen pen(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Strokes drawn twice: a light rim first, then the stroke itself. Dark strokes alone vanish on the dark
// buttons of dark colour schemes; on light buttons the rim does not show.
template<typename Strokes> void withLightRim(QPainter &p, const QColor &color, qreal width, Strokes &&strokes)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(QColor(255, 255, 255, 220), width + 1.6));
    strokes();
    p.setPen(pen(color, width));
    strokes();
}

void drawArrow(QPainter &p, bool toRight)
{
    p.setPen(pen(QColor(0x2a, 0x6e, 0x2a), 1.0));
    p.setBrush(QColor(0x3c, 0x9a, 0x3c));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QPolygonF arrow = {{3.5, 8}, {8, 3.5}, {8, 6.5}, {12.5, 6.5}, {12.5, 9.5}, {8, 9.5}, {8, 12.5}};
    if (toRight) {
        for (QPointF &point : arrow) {
            point.setX(Grid - point.x());
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
}

void drawCheck(QPainter &p)
{
    withLightRim(p, QColor(0x2e, 0x8b, 0x2e), 2.6, [&] {
        p.drawPolyline(QPolygonF{{2.5, 8.5}, {6.5, 12.5}, {13.5, 3.5}});
    });
}

void drawSheet(QPainter &p)
{
    p.setPen(pen(QColor(0x60, 0x60, 0x60), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(2.5, 1.5, 9, 13));
    p.setPen(pen(QColor(0x70, 0x90, 0xc0), 1.0));
    for (const qreal y : {4.5, 7.0, 9.5, 12.0}) {
        p.drawLine(QPointF(4.5, y), QPointF(9.5, y));
    }
}

void drawPencil(QPainter &p)
{
    p.save();
    // Lying across the sheet's lower right corner, the point towards the lower left.
    p.translate(11.0, 8.5);
    p.rotate(135);
    p.setPen(pen(QColor(0x70, 0x50, 0x10), 0.8));
    p.setBrush(QColor(0xf0, 0xb0, 0x30));
    p.drawRect(QRectF(-4.5, -1.4, 7, 2.8));
    p.setBrush(QColor(0xf0, 0xdc, 0xb0));
    p.drawPolygon(QPolygonF{{2.5, -1.4}, {5.5, 0}, {2.5, 1.4}});
    p.restore();
}

void drawCalendar(QPainter &p)
{
    p.setPen(pen(QColor(0x50, 0x50, 0x50), 1.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 12));
    p.setBrush(QColor(0xd0, 0x30, 0x30));
    p.drawRect(QRectF(1.5, 2.5, 13, 3.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x40, 0x40, 0x40));
    p.drawRect(QRectF(4, 1, 1.5, 3));
    p.drawRect(QRectF(10.5, 1, 1.5, 3));
    p.setBrush(QColor(0x90, 0x90, 0x90));
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) {
            p.drawRect(QRectF(3 + 3 * column, 7.5 + 2.5 * row, 2, 1.5));
        }
    }
}

void drawPlus(QPainter &p)
{
    const QPointF centre(12, 12);
    // A white rim keeps the plus readable over the calendar's grid.
    for (const auto &[color, width] : {std::pair{QColor(Qt::white), 5.0}, std::pair{QColor(0x20, 0x90, 0x20), 2.4}}) {
        p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(centre - QPointF(3, 0), centre + QPointF(3, 0));
        p.drawLine(centre - QPointF(0, 3), centre + QPointF(0, 3));
    }
}

void drawList(QPainter &p)
{
    for (const qreal y : {3.5, 8.0, 12.5}) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x30, 0x70, 0xc0));
        p.drawRect(QRectF(1.5, y - 1.5, 3, 3));
        withLightRim(p, QColor(0x40, 0x40, 0x40), 1.6, [&] { p.drawLine(QPointF(6.5, y), QPointF(14, y)); });
    }
}

void drawEnvelope(QPainter &p)
{
    p.setPen(pen(QColor(0x80, 0x60, 0x40), 1.0));
    p.setBrush(QColor(0xf8, 0xf0, 0xd8));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawPolyline(QPolygonF{{1.5, 3.5}, {8, 9}, {14.5, 3.5}});
}

void drawQuestion(QPainter &p)
{
    p.setPen(pen(QColor(0x28, 0x50, 0x9a), 1.0));
    p.setBrush(QColor(0x3a, 0x6f, 0xc4));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QPainterPath hook;
    const QRectF bow(5.5, 3.5, 5, 5);
    hook.arcMoveTo(bow, 180);
    hook.arcTo(bow, 180, -270);
    hook.lineTo(8, 9.8);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.2), 1.1, 1.1);
}

void drawCross(QPainter &p, const QColor &color, qreal width)
{
    withLightRim(p, color, width, [&] {
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
}

void drawFloppy(QPainter &p)
{
    p.setPen(pen(QColor(0x24, 0x3f, 0x6e), 1.0));
    p.setBrush(QColor(0x3a, 0x64, 0xa8));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(QRectF(4.5, 2, 7, 4.5));
    p.setBrush(QColor(0x24, 0x3f, 0x6e));
    p.drawRect(QRectF(9, 2.5, 1.5, 3));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 9, 9, 5));
}

void drawBin(QPainter &p)
{
    const QColor dark(0x50, 0x50, 0x50);
    p.setPen(pen(dark, 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(6, 1.5, 4, 2));
    p.setPen(pen(dark, 1.5));
    p.drawLine(QPointF(2.5, 3.5), QPointF(13.5, 3.5));
    p.setPen(pen(dark, 1.0));
    p.setBrush(QColor(0xc8, 0xc8, 0xc8));
    p.drawPolygon(QPolygonF{{3.5, 4.5}, {12.5, 4.5}, {11.5, 14.5}, {4.5, 14.5}});
    p.setPen(pen(QColor(0x70, 0x70, 0x70), 1.0));
    for (const qreal x : {6.0, 8.0, 10.0}) {
        p.drawLine(QPointF(x, 6.5), QPointF(x, 12.5));
    }
}

void drawBell(QPainter &p)
{
    p.setPen(pen(QColor(0x8a, 0x6a, 0x10), 1.0));
    p.setBrush(QColor(0xf2, 0xc8, 0x30));
    QPainterPath bell;
    bell.moveTo(2.5, 12.5);
    bell.cubicTo(4.5, 10.5, 3.5, 3, 8, 3);
    bell.cubicTo(12.5, 3, 11.5, 10.5, 13.5, 12.5);
    bell.closeSubpath();
    p.drawPath(bell);
    p.drawEllipse(QPointF(8, 13.5), 1.5, 1.5);
    p.drawEllipse(QPointF(8, 2.2), 1, 1);
}

void draw(QPainter &p, Picture which)
{
    switch (which) {
    case Picture::PreviousMonth:
        drawArrow(p, false);
        break;
    case Picture::NextMonth:
        drawArrow(p, true);
        break;
    case Picture::Today:
        drawCheck(p);
        break;
    case Picture::Memo:
        drawSheet(p);
        drawPencil(p);
        break;
    case Picture::Entry:
        drawCalendar(p);
        drawPlus(p);
        break;
    case Picture::List:
        drawList(p);
        break;
    case Picture::Mail:
        drawEnvelope(p);
        break;
    case Picture::Help:
        drawQuestion(p);
        break;
    case Picture::Exit:
        drawCross(p, QColor(0xd0, 0x20, 0x20), 3.0);
        break;
    case Picture::Save:
        drawFloppy(p);
        break;
    case Picture::Delete:
        drawBin(p);
        break;
    case Picture::Close:
        drawCross(p, QColor(0x40, 0x40, 0x40), 2.2);
        break;
    case Picture::Calendar:
        drawCalendar(p);
        break;
    case Picture::Notice:
        drawBell(p);
        break;
    }
}

// Light grey of the same shape, the way disabled pictures look in the platform styles.
void greyOut(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0) {
                continue;
            }
            const QRgb straight = qUnpremultiply(line[x]);
            const int grey = 128 + qGray(straight) / 3;
            line[x] = qPremultiply(qRgba(grey, grey, grey, (alpha + 1) / 2));
        }
    }
}

QImage drawnImage(Picture which, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size.width() / Grid, size.height() / Grid);
        draw(painter, which);
    }
    return image;
}

class PictureEngine final : public QIconEngine
{
public:
    explicit PictureEngine(Picture which)
        : m_which(which)
    {
    }

    // Drawn at the target's pixel density: on a screen with two device pixels per logical pixel a
    // 16-pixel picture gets 32 x 32 pixels of its own instead of an enlarged 16 x 16 one.
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap drawn = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty()) {
            return {};
        }
        const bool disabled = mode == QIcon::Disabled;
        const QString cacheKey = QStringLiteral("eveluna-picture-%1-%2x%3-%4")
                                     .arg(int(m_which))
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(int(disabled));
        QPixmap cached;
        if (QPixmapCache::find(cacheKey, &cached)) {
            return cached;
        }
        QImage image = drawnImage(m_which, size);
        if (disabled) {
            greyOut(image);
        }
        QPixmap drawn = QPixmap::fromImage(std::move(image));
        QPixmapCache::insert(cacheKey, drawn);
        return drawn;
    }

    // What a window manager is offered for the title bar and the task switcher; buttons ask for their
    // own size, which is drawn when asked.
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(32, 32), QSize(48, 48)};
    }

    QIconEngine *clone() const override { return new PictureEngine(m_which); }

    QString key() const override { return QStringLiteral("eveluna-picture"); }

private:
    Picture m_which;
};

} // namespace

QIcon picture(Picture which)
{
    return QIcon(new PictureEngine(which));
}

QImage pictureImage(Picture which, int side)
{
    return drawnImage(which, QSize(side, side));
}
