#include "calendar.h"
#include "codepage.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <stdexcept>

namespace {

// A folder with a date.dat of `periods` first days 29 days apart (newest first) and a dateMemo.dat of
// `memos` lines, one per day going back from the newest day, each with a short Japanese memo.
class DataFolder
{
public:
    DataFolder(int periods, int memos)
    {
        if (!m_dir.isValid()) {
            throw std::runtime_error("no temporary folder");
        }
        const QDate newest(2011, 3, 1);
        QString dates;
        for (int i = 0; i < periods; ++i) {
            dates += newest.addDays(-29 * qint64(i)).toString(u"yyyy/MM/dd"_qs) + u"\r\n"_qs;
        }
        QString memoLines;
        for (int i = 0; i < memos; ++i) {
            memoLines += newest.addDays(-qint64(i)).toString(u"yyyy/MM/dd"_qs) +
                         u",\"体温 36.5 度$$頭痛あり、早めに寝る\"\r\n"_qs;
        }
        write(datePath(), dates);
        write(memoPath(), memoLines);
    }

    QString datePath() const { return m_dir.filePath(u"date.dat"_qs); }
    QString memoPath() const { return m_dir.filePath(u"dateMemo.dat"_qs); }

private:
    static void write(const QString &path, const QString &text)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(encodeAnsi(text)) < 0) {
            throw std::runtime_error("cannot write the data files");
        }
    }

    QTemporaryDir m_dir;
};

void predictMonth(benchmark::State &state)
{
    const DataFolder folder(int(state.range(0)), int(state.range(1)));
    Calendar calendar(folder.datePath(), folder.memoPath(), [] { return QDate(2011, 3, 14); });
    for (auto _ : state) {
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        benchmark::DoNotOptimize(calendar.DayColor(16));
    }
    state.SetComplexityN(state.range(1));
}

void predictionText(benchmark::State &state)
{
    const DataFolder folder(50, 0);
    Calendar calendar(folder.datePath(), folder.memoPath());
    const int length = int(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(calendar.PredictionText(length, 12));
    }
}

} // namespace

// Realistic files (50 first days, 400 memo lines), large ones (5,000 days, 100,000 memo lines), and a
// series over the memo lines to see that the cost grows linearly with them.
BENCHMARK(predictMonth)->Args({50, 400})->Args({5000, 100000})->Unit(benchmark::kMillisecond);
BENCHMARK(predictMonth)
    ->Args({50, 12500})
    ->Args({50, 25000})
    ->Args({50, 50000})
    ->Args({50, 100000})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(predictionText)->Arg(28)->Arg(Calendar::MaxTextCycleLength)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
