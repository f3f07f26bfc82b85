#include "bodymarks.h"

#include <QPainter>
#include <QPainterPath>

namespace {

// Deep magenta for the fertile days, dark slate for 排卵後: both far darker than every category colour.
const QColor FertileInk(170, 0, 100);
const QColor PostInk(40, 60, 80);
constexpr int SampleWidth = 25; // a day cell's width

// A triangle in the top left corner (the bleeding drop has the top right one) or the bottom right one.
void drawCorner(QPainter &painter, const QRect &cell, const QColor &ink, bool topLeft)
{
    const int size = std::max(6, std::min(cell.width(), cell.height()) / 2);
    const QPoint corner = topLeft ? cell.topLeft() : cell.bottomRight();
    const int step = topLeft ? size : -size;
    QPainterPath path;
    path.moveTo(corner);
    path.lineTo(corner.x() + step, corner.y());
    path.lineTo(corner.x(), corner.y() + step);
    path.closeSubpath();
    painter.fillPath(path, ink);
}

} // namespace

BodyMark bodyMarkOf(const FertilityResult &cycle, const QDate &day, const QDate &today, const QDate &nextFirstDay)
{
    if (!cycle.speaks || !cycle.fertileFrom.isValid() || day < cycle.start) {
        return BodyMark::None;
    }
    if (cycle.fertileUntil.isValid() && day > cycle.fertileUntil) {
        return day <= today || !nextFirstDay.isValid() || day < nextFirstDay ? BodyMark::Post : BodyMark::None;
    }
    if (cycle.mostFertile(day)) {
        return BodyMark::MostFertile;
    }
    return day <= today && cycle.phaseOn(day) == BodyPhase::Fertile ? BodyMark::Fertile : BodyMark::None;
}

QString bodyFertileCaption()
{
    return QStringLiteral("からだのサイン: 妊娠しやすい時期");
}

QString bodyPostCaption()
{
    return QStringLiteral("からだのサイン: 排卵後");
}

QString bodyMarkDescription(BodyMark mark)
{
    switch (mark) {
    case BodyMark::Fertile:
        return bodyFertileCaption();
    case BodyMark::MostFertile:
        return bodyFertileCaption() + QStringLiteral("、") + ovulationExpectedText();
    case BodyMark::Post:
        return bodyPostCaption();
    case BodyMark::None:
        break;
    }
    return QString();
}

QString signNames(const QStringList &signs)
{
    QStringList names;
    for (const QString &sign : signs) {
        names << (sign == QLatin1String("mucus") ? QStringLiteral("おりもの")
                  : sign == QLatin1String("lh")  ? QStringLiteral("排卵検査薬")
                                                 : QStringLiteral("基礎体温"));
    }
    return names.join(QStringLiteral("、"));
}

void drawBodyMark(QPainter &painter, const QRect &cell, BodyMark mark)
{
    if (mark == BodyMark::None) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (mark == BodyMark::Post) {
        drawCorner(painter, cell.adjusted(2, 2, -2, -2), PostInk, false);
    } else {
        // Inside the cell's border and the keyboard frame's two pixels.
        painter.setPen(QPen(FertileInk, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(cell).adjusted(3, 3, -3, -3));
        if (mark == BodyMark::MostFertile) {
            drawCorner(painter, cell.adjusted(3, 3, -3, -3), FertileInk, true);
        }
    }
    painter.restore();
}

BodyMarkLayer::BodyMarkLayer(const std::array<QLabel *, CellCount> &cells, QWidget *parent)
    : QWidget(parent)
    , m_cells(cells)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QRect area;
    for (const QLabel *cell : m_cells) {
        area |= cell->geometry();
    }
    setGeometry(area);
    hide();
}

void BodyMarkLayer::setMarks(const std::array<BodyMark, CellCount> &marks)
{
    if (marks == m_marks) {
        return;
    }
    m_marks = marks;
    const bool any = std::any_of(m_marks.begin(), m_marks.end(), [](BodyMark m) { return m != BodyMark::None; });
    setVisible(any);
    if (any) {
        update();
    }
}

void BodyMarkLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (std::size_t k = 0; k < m_cells.size(); ++k) {
        drawBodyMark(painter, m_cells[k]->geometry().translated(-pos()), m_marks[k]);
    }
}

BodyLegendEntry::BodyLegendEntry(BodyMark mark, const QString &caption, QWidget *parent)
    : QLabel(caption, parent)
    , m_mark(mark)
{
    setIndent(SampleWidth + 6);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void BodyLegendEntry::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    const QRect sample(1, (height() - 17) / 2, SampleWidth, 17);
    painter.fillRect(sample, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(sample.adjusted(0, 0, -1, -1));
    drawBodyMark(painter, sample, m_mark);
}
