// The history window on 1,000 first days: opening it until the chart has been painted, and writing the
// PDF report (reading the files, laying out every page, embedding the font, the atomic write).

#include "cyclehistory.h"
#include "datafolder.h"
#include "fonts.h"
#include "history.h"
#include "historyreport.h"
#include "offscreenmain.h"
#include "variable.h"

#include <QApplication>
#include <QFileInfo>
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

} // namespace

BENCHMARK(openHistory)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(writePdf)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    return runWidgetBenchmarks(argc, argv);
}
