// The registered-data dialog on large files: opening it (both lists filled from the files and shown)
// and deleting the checked memo days, through the dialog's own buttons on the offscreen platform.

#include "datafolder.h"
#include "offscreenmain.h"
#include "variable.h"
#include "view.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

void openView(benchmark::State &state)
{
    const int memos = int(state.range(0));
    const DataFolder folder(memos / 20, memos);
    Variable::initFileLocations(folder.path());
    qsizetype shown = 0;
    for (auto _ : state) {
        TfrmView view;
        view.show();
        QApplication::processEvents();
        shown = view.findChild<QListWidget *>(QStringLiteral("lstMemoDays"))->count();
    }
    if (shown != memos) {
        state.SkipWithError("the memo list does not show every memo day");
    }
    state.SetComplexityN(memos);
}

// Every other memo day checked: the worst case for removing entries one by one.
void deleteCheckedMemoDays(benchmark::State &state)
{
    const int memos = int(state.range(0));
    qsizetype left = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<DataFolder>(memos / 20, memos);
        Variable::initFileLocations(folder->path());
        auto view = std::make_unique<TfrmView>();
        view->show();
        auto *list = view->findChild<QListWidget *>(QStringLiteral("lstMemoDays"));
        for (int row = 0; row < list->count(); row += 2) {
            list->item(row)->setCheckState(Qt::Checked);
        }
        QApplication::processEvents();
        state.ResumeTiming();

        view->findChild<QPushButton *>(QStringLiteral("btnMemoDelete"))->click();
        QApplication::processEvents();

        state.PauseTiming();
        left = list->count();
        view.reset();
        folder.reset();
        state.ResumeTiming();
    }
    if (left != memos / 2) {
        state.SkipWithError("the checked memo days were not all deleted");
    }
    state.SetComplexityN(memos);
}

} // namespace

// A year of memos, then a quarter, half and all of 100,000 memo lines: the time must grow linearly.
static void memoLineCounts(benchmark::internal::Benchmark *run)
{
    run->Arg(400)->Arg(25000)->Arg(50000)->Arg(100000)->Complexity(benchmark::oN)->Unit(benchmark::kMillisecond);
}

BENCHMARK(openView)->Apply(memoLineCounts);
BENCHMARK(deleteCheckedMemoDays)->Apply(memoLineCounts);

int main(int argc, char *argv[])
{
    return runWidgetBenchmarks(argc, argv);
}
