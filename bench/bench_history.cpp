// The history window on 1,000 first days: opening it until the chart has been painted, and writing the
// PDF report (reading the files, laying out every page, embedding the font, the atomic write); the 症状
// chart over ten years of daily records, from the records to the painted picture.

#include "cyclehistory.h"
#include "datafolder.h"
#include "fonts.h"
#include "history.h"
#include "historyreport.h"
#include "offscreenmain.h"
#include "symptomchart.h"
#include "variable.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QScrollArea>

#include <benchmark/benchmark.h>

namespace {

// Counts the paints of the chart, so a run that never drew it is reported.
class PaintCounter final : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

void openHistory(benchmark::State &state)
{
    installFontSubstitutes();
    const DataFolder folder(int(state.range(0)), 400);
    Variable::initFileLocations(folder.path());
    PaintCounter counter;
    for (auto _ : state) {
        TfrmHistory history(28);
        QWidget *chart = history.findChild<QScrollArea *>(QStringLiteral("chartArea"))->widget();
        chart->installEventFilter(&counter);
        history.show();
        QApplication::processEvents();
        chart->removeEventFilter(&counter);
    }
    if (counter.paints < int(state.iterations())) {
        state.SkipWithError("the chart was not painted at every opening");
    }
    state.counters["paints"] = benchmark::Counter(counter.paints, benchmark::Counter::kAvgIterations);
}

void writePdf(benchmark::State &state)
{
    installFontSubstitutes();
    const DataFolder folder(int(state.range(0)), 400);
    const QString pdf = folder.path() + QStringLiteral("/report.pdf");
    const QStringList families = installedFamilies(QStringLiteral("ＭＳ ゴシック"));
    for (auto _ : state) {
        const CycleHistory history = readCycleHistory(folder.datePath(), folder.memoPath());
        const CycleStatistics stats = computeStatistics(history.firstDays, QDate(2011, 3, 10), 29);
        writeReportPdf(pdf, HistoryReport(history, stats, QDate(2011, 3, 10), true, families));
    }
    if (QFileInfo(pdf).size() == 0) {
        state.SkipWithError("no PDF written");
    }
}

// Ten years of days, each with a record: bleeding on the first five days of each 28-day cycle, pain on
// the first two, two symptoms on the five days before each first day and one on every third day between.
void drawSymptomChart(benchmark::State &state)
{
    installFontSubstitutes();
    const QDate start(2015, 1, 4);
    QList<QDate> firstDays;
    QList<DayRecord> records;
    for (int day = 0; day < 3653; ++day) {
        const int cycleDay = day % 28;
        if (cycleDay == 0) {
            firstDays.append(start.addDays(day));
        }
        DayRecord record;
        record.date = start.addDays(day);
        if (cycleDay < 5) {
            record.flow = cycleDay < 2 ? Flow::Heavy : Flow::Light;
            record.pain = cycleDay < 2 ? 2 : 0;
        } else if (cycleDay >= 23) {
            record.symptoms = {QStringLiteral("headache"), QStringLiteral("irritable")};
        } else if (day % 3 == 0) {
            record.symptoms = {QStringLiteral("bloating")};
        } else {
            record.weightTenths = 520;
        }
        records.append(record);
    }
    const QStringList families = installedFamilies(QStringLiteral("ＭＳ ゴシック"));
    QImage image(1000, 500, QImage::Format_ARGB32_Premultiplied);
    int rows = 0;
    for (auto _ : state) {
        const SymptomChart chart(symptomPattern(firstDays, records), families);
        QPainter painter(&image);
        const double scale = useLogicalUnits(painter);
        chart.draw(painter, QRectF(0, 0, image.width() / scale, image.height() / scale));
        rows = int(chart.pattern().rows.size());
    }
    if (rows != 4) {
        state.SkipWithError("the chart should have rows for pain, headache, bloating and irritability");
    }
}

} // namespace

BENCHMARK(drawSymptomChart)->Unit(benchmark::kMillisecond);
BENCHMARK(openHistory)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(writePdf)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    return runWidgetBenchmarks(argc, argv);
}
