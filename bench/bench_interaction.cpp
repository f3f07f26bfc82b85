// One month step as the user makes it: the real TfrmMain::btnNextClick (read both data files, predict,
// set the 37 cells) followed by the repaint it asks for, on the offscreen platform.

#include "datafolder.h"
#include "mainwindow.h"
#include "offscreenmain.h"

#include <QApplication>
#include <QLabel>

#include <benchmark/benchmark.h>

namespace {

// Counts the paint events a widget receives, to show that every step really repaints the grid.
class PaintCounter final : public QObject
{
public:
    long long paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

void monthStep(benchmark::State &state)
{
    const int periods = int(state.range(0));
    const int memos = int(state.range(1));
    const DataFolder folder(periods, memos);
    TfrmMain window(folder.path(), [] { return QDate(2011, 3, 14); });
    window.show();
    QApplication::processEvents();
    // Memo marks on: the step then also marks the memo days, the dearer of the two settings.
    window.btnMemoClick();
    QApplication::processEvents();

    PaintCounter counter;
    QLabel *cell = window.findChild<QLabel *>(QStringLiteral("pnlDay15"));
    if (cell == nullptr) {
        state.SkipWithError("the main window has no pnlDay15");
        return;
    }
    cell->installEventFilter(&counter);

    // A user steps through the months near the data, not centuries ahead: after a year forward the
    // view goes back, outside the timed part.
    constexpr int StepsPerRound = 12;
    int steps = 0;
    for (auto _ : state) {
        window.btnNextClick();
        QApplication::processEvents();
        if (++steps == StepsPerRound) {
            state.PauseTiming();
            for (int i = 0; i < StepsPerRound; ++i) {
                window.btnReturnClick();
            }
            QApplication::processEvents();
            steps = 0;
            state.ResumeTiming();
        }
    }
    cell->removeEventFilter(&counter);
    state.counters["paints"] = benchmark::Counter(double(counter.paints) / double(state.iterations()));
    state.SetComplexityN(periods + memos);
}

} // namespace

// Realistic files (50 first days, 400 memo lines), then a quarter, half and all of the large ones
// (5,000 days, 100,000 memo lines): the step time grows linearly with the lines read.
BENCHMARK(monthStep)
    ->Args({50, 400})
    ->Args({1250, 25000})
    ->Args({2500, 50000})
    ->Args({5000, 100000})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char *argv[])
{
    return runWidgetBenchmarks(argc, argv);
}
