#include "cyclehistory.h"

#include "cyclestats.h"
#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "periodfile.h"
#include "textfile.h"

#include <algorithm>
#include <cmath>

QList<int> CycleHistory::cycleLengths() const
{
    QList<int> lengths;
    lengths.reserve(std::max<qsizetype>(firstDays.size() - 1, 0));
    for (qsizetype i = 1; i < firstDays.size(); ++i) {
        lengths.append(int(firstDays[i - 1].daysTo(firstDays[i])));
    }
    return lengths;
}

int CycleHistory::memoDaysInCycle(qsizetype i) const
{
    auto from = memos.lowerBound(firstDays[i]);
    auto to = i + 1 < firstDays.size() ? memos.lowerBound(firstDays[i + 1]) : memos.end();
    return int(std::distance(from, to));
}

CycleHistory readCycleHistory(const QString &datePath, const QString &memoPath, const QString &dayPath)
{
    CycleHistory history;
    history.firstDays = readFirstDaysAscending(datePath);

    const LineFile memoLines = LineFile::readIfExists(memoPath);
    for (const QString &line : memoLines.lines()) {
        if (isBlankMemoLine(line)) {
            continue;
        }
        const QStringList fields = splitMemoLine(line);
        const QDate day = parseDateText(fields.value(0));
        // The memo dialog finds the first line of a day; a second one is never shown.
        if (!history.memos.contains(day)) {
            history.memos.insert(day, fields.value(1).replace(QStringLiteral("$$"), QStringLiteral("\r\n")));
        }
    }
    if (!dayPath.isEmpty()) {
        history.dayRecords = readDayFile(dayPath).records;
    }
    return history;
}

CycleStatistics computeStatistics(const QList<QDate> &firstDays, const QDate &today, std::optional<int> cycleLength,
                                  const QSet<QDate> &excluded, int mode, int ownLength)
{
    CycleStatistics stats;
    if (firstDays.isEmpty()) {
        return stats;
    }
    const QDate newest = firstDays.last();
    stats.daysSinceLast = newest.daysTo(today);
    if (cycleLength) {
        stats.nextFirstDay = newest.addDays(*cycleLength);
        if (stats.nextFirstDay->isValid() && *stats.nextFirstDay > newest && *stats.nextFirstDay < today) {
            stats.lateDays = stats.nextFirstDay->daysTo(today);
        }
    }
    stats.range = nextStartRange(firstDays, excluded);
    stats.trackRecord = trackRecord(firstDays, excluded, mode, cycleLength.value_or(ownLength));

    QList<double> lengths;
    for (qsizetype i = 1; i < firstDays.size(); ++i) {
        if (!excluded.contains(firstDays[i - 1])) {
            lengths.append(double(firstDays[i - 1].daysTo(firstDays[i])));
        }
    }
    stats.cycleCount = int(lengths.size());
    if (stats.cycleCount == 0) {
        return stats;
    }
    // The modes' own rules, so the lines of the chart are exactly the lengths the cycle control offers.
    const auto modeLength = [&](int m) { return *cycleLengthOfModeDays(firstDays, firstDays.size(), m, excluded); };
    stats.modeAverage = modeLength(0);
    stats.shortest = modeLength(1);
    stats.longest = modeLength(2);

    double sum = 0;
    for (const double length : lengths) {
        sum += length;
    }
    stats.average = sum / double(lengths.size());
    if (lengths.size() >= 2) {
        double squares = 0;
        for (const double length : lengths) {
            squares += (length - stats.average) * (length - stats.average);
        }
        stats.standardDeviation = std::sqrt(squares / double(lengths.size() - 1));
    }
    const auto recent = lengths.end() - std::min<qsizetype>(lengths.size(), RecentCycleCount);
    const auto [low, high] = std::minmax_element(recent, lengths.end());
    stats.recentSpread = int(*high - *low);
    return stats;
}

namespace {

QString days(qint64 count)
{
    return QString::number(count) + QStringLiteral("日");
}

QString oneDecimalDays(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral("日");
}

} // namespace

QList<std::pair<QString, QString>> statisticsTexts(const CycleStatistics &stats)
{
    const QString none = QStringLiteral("-");
    const bool cycles = stats.cycleCount > 0;
    const int recent = std::min(stats.cycleCount, RecentCycleCount);
    return {
        {QStringLiteral("周期の数"), QString::number(stats.cycleCount)},
        {QStringLiteral("平均"), cycles ? oneDecimalDays(stats.average) : none},
        {QStringLiteral("いちばん短い周期"), cycles ? days(stats.shortest) : none},
        {QStringLiteral("いちばん長い周期"), cycles ? days(stats.longest) : none},
        {QStringLiteral("ばらつき (標準偏差)"),
         stats.standardDeviation ? oneDecimalDays(*stats.standardDeviation) : none},
        {QStringLiteral("直近%1周期の最長と最短の差").arg(cycles ? recent : RecentCycleCount),
         cycles ? days(stats.recentSpread) : none},
        {QStringLiteral("前回の生理初日から"), stats.daysSinceLast ? days(*stats.daysSinceLast) : none},
        {QStringLiteral("次の生理の予定日"), stats.nextFirstDay ? formatDateText(*stats.nextFirstDay) : none},
    };
}

QList<std::pair<QString, QString>> outlookTexts(const CycleStatistics &stats)
{
    QList<std::pair<QString, QString>> texts = {
        {QStringLiteral("次の生理の見込み"),
         stats.range
             ? QStringLiteral("%1 (10回に%2回はこの範囲)").arg(rangeText(*stats.range, true)).arg(RangeShareInTen)
             : QStringLiteral("-")},
        {QStringLiteral("これまでの予測"), stats.trackRecord
                                               ? QStringLiteral("直近%1回: 2日以内 %2回、平均のずれ %3日")
                                                     .arg(stats.trackRecord->cycles)
                                                     .arg(stats.trackRecord->within2Days)
                                                     .arg(QString::number(stats.trackRecord->meanAbsDays, 'f', 1))
                                               : QStringLiteral("-")},
    };
    if (stats.lateDays > 0) {
        texts.append({QStringLiteral("予定日から"), QStringLiteral("予定日を%1日過ぎています").arg(stats.lateDays)});
    }
    return texts;
}

QList<HistoryRow> historyRows(const CycleHistory &history, const QList<PastPrediction> &predictions,
                              const QSet<QDate> &excluded)
{
    QMap<QDate, int> offsets;
    for (const PastPrediction &prediction : predictions) {
        offsets.insert(prediction.start, prediction.offBy());
    }
    const QList<int> lengths = history.cycleLengths();
    const QList<CycleRecord> cycles = cycleRecords(history.firstDays, history.dayRecords);
    const QString unknown = QStringLiteral("—");
    QList<HistoryRow> rows;
    rows.reserve(history.firstDays.size());
    for (qsizetype i = 0; i < history.firstDays.size(); ++i) {
        const auto offset = offsets.constFind(history.firstDays[i]);
        const CycleRecord &cycle = cycles[i];
        const bool recorded = cycle.recordedDays > 0;
        rows.append({formatDateText(history.firstDays[i]), i < lengths.size() ? QString::number(lengths[i]) : QString(),
                     history.memoDaysInCycle(i),
                     offset == offsets.cend() ? QString()
                     : *offset > 0            ? u'+' + QString::number(*offset)
                                              : QString::number(*offset),
                     cycle.periodDays ? QString::number(*cycle.periodDays) : unknown,
                     recorded ? QString::number(cycle.flowDays[std::size_t(Flow::Heavy)]) : unknown,
                     recorded ? painText(cycle.strongestPain) : unknown,
                     recorded ? QString::number(cycle.painkillerDays) : unknown, QString(), QString()});
        HistoryRow &row = rows.back();
        // pastPredictions gives one for every counted completed cycle after two counted ones.
        if (row.offBy.isEmpty()) {
            if (i + 1 >= history.firstDays.size()) {
                row.noOffBy = QStringLiteral("進行中");
                row.noOffByReason = QStringLiteral("この周期はまだ終わっていません。");
            } else if (excluded.contains(history.firstDays[i])) {
                row.noOffBy = QStringLiteral("除外");
                row.noOffByReason = QStringLiteral("計算に入れない周期です。");
            } else {
                row.noOffBy = QStringLiteral("記録不足");
                row.noOffByReason = QStringLiteral("予測には、この周期より前に計算に入れる周期が2つ以上必要です。");
            }
        }
    }
    return rows;
}

QList<std::pair<QString, QString>> periodStatisticsTexts(const QList<CycleRecord> &cycles)
{
    const std::optional<double> average = averagePeriodLength(cycles);
    QList<std::pair<QString, QString>> texts = {
        {QStringLiteral("平均月経期間 (直近%1周期)").arg(RecentCycleCount),
         average ? oneDecimalDays(*average) : QStringLiteral("-")},
    };
    for (const QString &observation : periodObservations(cycles)) {
        texts.append({QStringLiteral("目安との比較"), observation});
    }
    return texts;
}

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray historyCsv(const CycleHistory &history)
{
    QString text = QStringLiteral("開始日,周期(日),メモ\r\n");
    const QList<HistoryRow> rows = historyRows(history);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString memo = history.memos.value(history.firstDays[i]);
        text += rows[i].firstDay + u',' + rows[i].length + u',' + csvField(memo) + QStringLiteral("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

void writePrivateFile(const QString &path, const QByteArray &bytes)
{
    QString errorText;
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, errorText, true)) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, errorText));
    }
}
