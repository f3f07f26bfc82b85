#include "look.h"

#include "fonts.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QFontInfo>
#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

double relativeLuminance(const QColor &color)
{
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

void setRoleColor(QWidget *widget, QPalette::ColorRole role, const QColor &color)
{
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, role, color);
    }
    widget->setPalette(palette);
}

// Keeps a caption readable when the theme's colours change while the program runs (a desktop switched
// to its dark style): the caption's own palette is explicit, so it follows the palette of the widget it
// stands on.
class CaptionColorKeeper final : public QObject
{
public:
    CaptionColorKeeper(QWidget *label, const QColor &design)
        : QObject(label)
        , m_label(label)
        , m_around(label->parentWidget() ? label->parentWidget() : label)
        , m_design(design)
    {
        apply();
        m_around->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_around && event->type() == QEvent::PaletteChange && m_around != m_label) {
            apply();
        }
        return false;
    }

private:
    void apply()
    {
        const QColor background = m_around->palette().color(m_around->backgroundRole());
        setPanelColors(m_label, background, readableTextColor(m_design, background));
    }

    QWidget *m_label;
    QWidget *m_around;
    QColor m_design;
};

// Paints a cell as it paints itself, then its frame on whole device pixels. Qt rounds the place of a
// widget and the rectangles it fills to the nearest device pixel; the frame's edges are rounded the same
// way from the cell's place on the device, so the neighbour's frame starts where this one ends.
class GridFramePainter final : public QObject
{
public:
    GridFramePainter(QFrame *cell, const QColor &color)
        : QObject(cell)
        , m_color(color)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint) {
            return false;
        }
        watched->event(event);
        auto *cell = static_cast<QWidget *>(watched);
        QPainter painter(cell);
        const QTransform toDevice = painter.deviceTransform();
        const QTransform toLogical = toDevice.inverted();
        const QRectF place = toDevice.mapRect(QRectF(cell->rect()));
        const int left = qRound(place.left());
        const int top = qRound(place.top());
        const int right = qRound(place.right());
        const int bottom = qRound(place.bottom());
        const int width = std::max(1, qRound(cell->devicePixelRatioF()));
        const auto fill = [&](int x1, int y1, int x2, int y2) {
            painter.fillRect(toLogical.mapRect(QRectF(QPointF(x1, y1), QPointF(x2, y2))), m_color);
        };
        fill(left, top, right, top + width);
        fill(left, bottom - width, right, bottom);
        fill(left, top, left + width, bottom);
        fill(right - width, top, right, bottom);
        return true;
    }

private:
    QColor m_color;
};

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableTextColor(const QColor &design, const QColor &background)
{
    if (contrastRatio(design, background) >= MinimumTextContrast) {
        return design;
    }
    // Lightness steps of 2 %, keeping hue and saturation, towards the end away from the background.
    const bool darkBackground = relativeLuminance(background) < 0.18;
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    float alpha = 0;
    design.toHsl().getHslF(&hue, &saturation, &lightness, &alpha);
    QColor color = design;
    while (contrastRatio(color, background) < MinimumTextContrast && lightness > 0.0f && lightness < 1.0f) {
        lightness = std::clamp(lightness + (darkBackground ? 0.02f : -0.02f), 0.0f, 1.0f);
        color = QColor::fromHslF(hue, saturation, lightness).toRgb();
    }
    return color;
}

void setPanelColors(QWidget *widget, const QColor &background, const QColor &text)
{
    // One palette change for both roles: the month grid sets 37 cells at every repaint.
    QPalette palette = widget->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Window, background);
        palette.setColor(group, QPalette::WindowText, text);
    }
    widget->setPalette(palette);
}

void setFieldColors(QWidget *field, const QColor &base, const QColor &text)
{
    setRoleColor(field, QPalette::Base, base);
    setRoleColor(field, QPalette::Text, text);
}

void setCaptionColor(QWidget *label, const QColor &design)
{
    new CaptionColorKeeper(label, design);
}

QFont dialogDesignFont()
{
    installFontSubstitutes();
    QFont font;
    font.setFamilies(installedFamilies(QStringLiteral("Tahoma")));
    font.setPointSize(8);
    return font;
}

void useDesignFont(QWidget *window, const QFont &font)
{
    // Every property counts as set, so that a control whose kind has a font of the theme's own (Qt asks
    // the theme for button, list and menu fonts) takes none of it.
    QFont whole = font;
    whole.setResolveMask(QFont::AllPropertiesResolved);
    window->setFont(whole);
    // Below 12 pixels the IPA gothic face draws the full stop of "127.0.0.1" or "36.45" like a comma:
    // the boxes where numbers and addresses are typed and read take 12 pixels at least.
    constexpr int MinimumFieldPixels = 12;
    if (QFontInfo(whole).pixelSize() < MinimumFieldPixels) {
        QFont field = whole;
        field.setPixelSize(MinimumFieldPixels);
        for (QWidget *child : window->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(child) || qobject_cast<QAbstractSpinBox *>(child)) {
                child->setFont(field);
            }
        }
    }
}

void frameGridCells(const QList<QFrame *> &cells, const QColor &color)
{
    for (QFrame *cell : cells) {
        cell->setFrameShape(QFrame::NoFrame);
        cell->installEventFilter(new GridFramePainter(cell, color));
    }
}
