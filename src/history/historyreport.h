#pragma once

#include "cyclechart.h"
#include "cyclehistory.h"
#include "errors.h"
#include "fertilephase.h"
#include "periodreport.h"
#include "temperatureshift.h"

#include <QDate>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;
class QPainter;

// The printed history for the clinic: A4 portrait, a heading with the date of printing, the statistics,
// the chart of the recent cycles, the table of every first day and, when asked for, the memos. Pages
// follow as the table needs them, each with its number; then the 月経の記録 pages (periodreport.h) and
// the 基礎体温表 pages. All sizes in logical units (cyclechart.h).
class HistoryReport final
{
public:
    static constexpr double LineHeight = 16;
    static constexpr double FooterHeight = 24;
    // Heading, statistics and chart above the table on the first page.
    static constexpr double HeadHeight = 44 + 4 * 20 + 12 + CycleChart::Height + 16;
    // Half-width characters of a memo line: the design font is fixed-pitch, a full-width one counts two.
    static constexpr int MemoColumns = 96;

    // One line of the flowing part: the table and the memos.
    struct Line
    {
        enum class Kind { TableHeader, Row, Gap, MemoHeading, Memo };
        Kind kind = Kind::Row;
        QStringList cells;
    };
    // The lines of page p: a run of the flowing lines, after a repeated table header when the page
    // continues the table.
    struct Page
    {
        qsizetype firstLine = 0;
        qsizetype lineCount = 0;
        bool repeatHeader = false;
    };

    // The chart hatches the cycles beginning on an excluded day, as the window does.
    HistoryReport(const CycleHistory &history, const CycleStatistics &stats, const QDate &printed, bool withMemos,
                  QStringList families, QSet<QDate> excluded = {});

    // 基礎体温表 pages after the history: the cycles with readings, newest first, at most 12, with her
    // body's signs of those cycles (bodies, matched by first day) when given.
    void addTemperaturePages(const QList<CycleTemperature> &cycles, const QList<FertilityResult> &bodies = {});

    const QList<Line> &lines() const { return m_lines; }
    // Pages for a printable area of pageSize (logical units).
    QList<Page> paginate(const QSizeF &pageSize) const;

    // Draws 月経の記録 page m (0-based) after the `pages` of the history.
    void drawPeriodPage(QPainter &painter, const QRectF &area, const QList<Page> &pages, qsizetype m) const;
    qsizetype periodPageCount(const QRectF &area) const;

    // Draws 基礎体温表 page t (0-based) after the `pages` of the history and those of 月経の記録.
    void drawTemperaturePage(QPainter &painter, const QRectF &area, const QList<Page> &pages, qsizetype t) const;
    qsizetype temperaturePageCount() const;

    // Draws page p (0-based) of pages into area (logical units, painter already in them).
    void drawPage(QPainter &painter, const QRectF &area, const QList<Page> &pages, qsizetype p) const;

private:
    void drawHead(QPainter &painter, const QRectF &area) const;
    void drawLine(QPainter &painter, const Line &line, double top, const QRectF &area) const;
    void drawFooter(QPainter &painter, const QRectF &area, qsizetype page, qsizetype pageCount) const;

    CycleStatistics m_stats;
    QDate m_printed;
    QStringList m_families;
    CycleChart m_chart;
    QList<Line> m_lines;
    QList<CycleTemperature> m_temperature;
    QList<FertilityResult> m_bodies;
    PeriodReport m_period;
};

// Cuts a memo into lines of at most `columns` half-width columns (a full-width character takes two),
// at its own line breaks and wherever a line is full.
QStringList wrapMemoText(const QString &text, int columns);

// A printer that would not start ("印刷を開始できません。").
class EReportError final : public AppError
{
public:
    using AppError::AppError;
};

// Paints every page of the report onto a printer or a PDF writer, A4 portrait with 15 mm margins.
// Throws EReportError when the device cannot be painted on.
void paintReport(QPagedPaintDevice &device, const HistoryReport &report);

// The report as a PDF file, written as writePrivateFile writes (throws EFileError likewise).
void writeReportPdf(const QString &path, const HistoryReport &report);
