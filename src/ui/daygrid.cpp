#include "daygrid.h"

#include "calendar.h"
#include "linefile.h"
#include "memofile.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>

#include <algorithm>

QString dayCellDescription(const QDate &date, DayCategory category, bool markedToday,
                           const std::optional<QString> &memo, const std::optional<Flow> &flow,
                           const std::optional<TemperatureReading> &reading, bool pmsDay)
{
    static const QString weekdays[] = {QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
                                       QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土"),
                                       QStringLiteral("日")};
    QStringList parts;
    parts << QStringLiteral("%1年%2月%3日（%4）")
                 .arg(date.year())
                 .arg(date.month())
                 .arg(date.day())
                 .arg(weekdays[date.dayOfWeek() - 1]);
    if (category != DayCategory::None) {
        parts << categoryCaption(category);
    }
    if (pmsDay) {
        parts << PmsCaption;
    }
    if (markedToday) {
        parts << QStringLiteral("今日");
    }
    if (flow) {
        parts << QStringLiteral("出血: ") + flowCaption(*flow);
    }
    if (reading) {
        parts << QStringLiteral("体温: %1℃%2")
                     .arg(formatCentiDegrees(reading->centiDegrees),
                          reading->excluded ? QStringLiteral("（除外）") : QString());
    }
    if (memo) {
        QString line = *memo;
        const qsizetype end = line.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
        if (end >= 0) {
            line.truncate(end);
        }
        // Counted in characters, so a character outside the BMP is never cut in half.
        qsizetype cut = 0;
        for (int count = 0; cut < line.size() && count < MemoPreviewLength; ++count) {
            cut += line[cut].isHighSurrogate() && cut + 1 < line.size() ? 2 : 1;
        }
        line.truncate(cut);
        parts << QStringLiteral("メモ:") + line;
    }
    return parts.join(QStringLiteral("、"));
}

// A memo file that cannot be read now leaves the memo texts out of the descriptions instead of
// interrupting what asked for them.
std::optional<QStringList> memoLinesOfMonth(const Calendar &engine, const QString &memoFilePath, int year, int month)
{
    const QList<QDate> &memoDays = engine.MemoDays();
    const bool memosThisMonth = std::any_of(
        memoDays.begin(), memoDays.end(), [&](const QDate &day) { return day.year() == year && day.month() == month; });
    if (!memosThisMonth) {
        return std::nullopt;
    }
    try {
        return LineFile::readIfExists(memoFilePath).lines();
    } catch (const std::exception &) {
        return QStringList();
    }
}

QHash<QDate, Flow> monthFlows(const QString &dayFilePath, int year, int month)
{
    QHash<QDate, Flow> flows;
    try {
        const QDate first(year, month, 1);
        for (const DayRecord &record : readDayRecordsBetween(dayFilePath, first, first.addMonths(1).addDays(-1))) {
            if (record.flow) {
                flows.insert(record.date, *record.flow);
            }
        }
    } catch (const std::exception &) {
    }
    return flows;
}

std::optional<TemperatureReading> dayReading(const QString &tempFilePath, const QDate &day)
{
    try {
        for (const TemperatureReading &reading : readTemperatureFile(tempFilePath).readings) {
            if (reading.date == day) {
                return reading;
            }
        }
    } catch (const std::exception &) {
    }
    return std::nullopt;
}

void drawBleedingDrop(QPainter &painter, const QRectF &cell, Flow flow)
{
    // About half the cell's height, in its top right corner, beside the day number.
    const qreal height = std::max<qreal>(9, cell.height() * 0.5);
    const qreal width = height * 0.72;
    const QRectF box(cell.right() - width - 2, cell.top() + 2, width, height);
    QPainterPath drop;
    const qreal radius = width / 2;
    const QPointF centre(box.center().x(), box.bottom() - radius);
    drop.moveTo(box.center().x(), box.top());
    drop.cubicTo(box.center().x() + radius * 0.4, box.top() + height * 0.3, box.right(), centre.y() - radius * 0.3,
                 box.right(), centre.y());
    drop.arcTo(QRectF(centre.x() - radius, centre.y() - radius, width, width), 0, -180);
    drop.cubicTo(box.left(), centre.y() - radius * 0.3, box.center().x() - radius * 0.4, box.top() + height * 0.3,
                 box.center().x(), box.top());
    const QColor red(176, 0, 32);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal filled = flow == Flow::Spotting ? 0
                         : flow == Flow::Light  ? 1.0 / 3
                         : flow == Flow::Medium ? 2.0 / 3
                                                : 1;
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(drop);
    if (filled > 0) {
        painter.setClipRect(QRectF(box.left() - 1, box.bottom() - height * filled, width + 2, height * filled + 1));
        painter.fillPath(drop, red);
        painter.setClipping(false);
    }
    painter.setPen(QPen(red, 1.2));
    painter.drawPath(drop);
    painter.restore();
}

QString dayCellDescription(const Calendar &engine, const QDate &date, bool markedToday,
                           const std::optional<QStringList> &memoLines, const std::optional<Flow> &flow,
                           const std::optional<TemperatureReading> &reading, bool pmsDay)
{
    std::optional<QString> memo;
    if (memoLines.has_value() && engine.MemoDays().contains(date)) {
        memo = QString();
        try {
            const int line = FindMemoLine(*memoLines, date);
            if (line >= 0) {
                // Only the first line is told: the stored line break "$$" ends it.
                memo = splitMemoLine((*memoLines)[line]).value(1).section(QStringLiteral("$$"), 0, 0);
            }
        } catch (const std::exception &) {
            // A line before the day's that is not a date: the memo is announced without its text.
        }
    }
    return dayCellDescription(date, classifyDay(engine.WindowDays(), date.toJulianDay()), markedToday, memo, flow,
                              reading, pmsDay);
}

void setCellBand(QWidget *cell, const QColor &background, bool band)
{
    // Four pixels of the cell's height, the grid's frame covering the lowest: thin enough to leave the
    // category's colour the colour of the cell.
    constexpr double BandPixels = 4;
    QBrush brush(background);
    if (band && cell->height() > BandPixels) {
        QLinearGradient gradient(0, 0, 0, 1);
        gradient.setCoordinateMode(QGradient::ObjectMode);
        const double top = 1 - BandPixels / cell->height();
        // Two stops a hair apart: a hard edge (a second stop at the same place would replace the first).
        gradient.setStops({{0, background}, {top, background}, {top + 1e-4, PmsBandColor}, {1, PmsBandColor}});
        brush = QBrush(gradient);
    }
    QPalette palette = cell->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setBrush(group, QPalette::Window, brush);
    }
    cell->setPalette(palette);
}

DayGridFocus::DayGridFocus(const std::array<QLabel *, CellCount> &cells, QWidget *parent)
    : QWidget(parent)
    , m_cells(cells)
{
    setFocusPolicy(Qt::StrongFocus);
    // The cells below take the clicks, double clicks and tooltips.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QRect area;
    for (const QLabel *cell : m_cells) {
        area |= cell->geometry();
    }
    setGeometry(area);
    setAccessibleName(QStringLiteral("予測カレンダー"));
    raise();
}

void DayGridFocus::setMonth(int year, int month)
{
    m_year = year;
    m_month = month;
    m_day = qBound(1, m_day, QDate(year, month, 1).daysInMonth());
    updateFrame();
}

void DayGridFocus::frameDate(const QDate &date)
{
    if (date.year() == m_year && date.month() == m_month) {
        m_day = date.day();
        updateFrame();
    }
}

void DayGridFocus::setFlows(const std::array<std::optional<Flow>, CellCount> &flows)
{
    if (flows != m_flows) {
        m_flows = flows;
        update();
    }
}

void DayGridFocus::updateFrame()
{
    // The frame is drawn only while the grid has the focus; without it nothing of this layer shows, and
    // repainting it would repaint every cell below it once more at each month step.
    if (hasFocus()) {
        update();
    }
}

QDate DayGridFocus::framedDate() const
{
    return QDate(m_year, m_month, m_day);
}

int DayGridFocus::framedCell() const
{
    // Column 0 is Sunday; QDate counts Monday 1 .. Sunday 7.
    const int lead = QDate(m_year, m_month, 1).dayOfWeek() % 7;
    return qBound(0, lead + m_day - 1, CellCount - 1);
}

void DayGridFocus::announceFramedCell()
{
    if (!hasFocus()) {
        return;
    }
    QLabel *cell = m_cells[std::size_t(framedCell())];
    setAccessibleDescription(cell->accessibleName());
    QAccessibleEvent focus(cell, QAccessible::Focus);
    QAccessible::updateAccessibility(&focus);
}

void DayGridFocus::moveBy(int days)
{
    const QDate target = framedDate().addDays(days);
    if (target.year() == m_year && target.month() == m_month) {
        frameDate(target);
        announceFramedCell();
    } else {
        emit dateRequested(target);
    }
}

void DayGridFocus::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        moveBy(-1);
        break;
    case Qt::Key_Right:
        moveBy(1);
        break;
    case Qt::Key_Up:
        moveBy(-7);
        break;
    case Qt::Key_Down:
        moveBy(7);
        break;
    case Qt::Key_PageUp:
        emit monthStepRequested(-1);
        break;
    case Qt::Key_PageDown:
        emit monthStepRequested(1);
        break;
    case Qt::Key_Home:
        emit todayRequested();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) {
            emit cellActivated(m_cells[std::size_t(framedCell())]);
        }
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DayGridFocus::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    for (std::size_t k = 0; k < m_flows.size(); ++k) {
        if (m_flows[k]) {
            drawBleedingDrop(painter, QRectF(m_cells[k]->geometry().translated(-pos())), *m_flows[k]);
        }
    }
    if (!hasFocus()) {
        return;
    }
    // Two pixels on the cell's own edge: its border line and the pixel inside it. The colour of the
    // cell's inside stays as painted; the frame is darker than every category colour.
    const QRect cell = m_cells[std::size_t(framedCell())]->geometry().translated(-pos());
    painter.setPen(QPen(QColor(0, 0, 160), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(cell).adjusted(1, 1, -1, -1));
}

void DayGridFocus::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    update();
    announceFramedCell();
}

void DayGridFocus::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    update();
}
