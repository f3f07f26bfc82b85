#include "cyclestats.h"

#include "datetext.h"
#include "errors.h"

#include <QList>

namespace {

QList<qint64> gapsOf(const QStringList &lines, qsizetype lineCount)
{
    if (lines.size() < 2) {
        throw EListError::indexOutOfRange(lines.size());
    }
    QList<qint64> gaps;
    gaps.reserve(lineCount - 1);
    qint64 newer = parseDateText(lines[0]).toJulianDay();
    for (qsizetype i = 1; i < lineCount; ++i) {
        const qint64 older = parseDateText(lines[i]).toJulianDay();
        gaps.append(newer - older);
        newer = older;
    }
    return gaps;
}

template<typename Better> QString walkGaps(const QStringList &lines, Better better)
{
    qint64 running = 0;
    for (const qint64 gap : gapsOf(lines, lines.size())) {
        if (better(gap, running) || running == 0) {
            running = gap;
        }
    }
    return QString::number(running);
}

} // namespace

QString AverageCycleLength(const QStringList &lines)
{
    const QList<qint64> gaps = gapsOf(lines, lines.size());
    qint64 sum = 0;
    for (const qint64 gap : gaps) {
        sum += gap;
    }
    // Integer division truncates toward zero, also for the negative sum of an unsorted file.
    return QString::number(sum / gaps.size());
}

QString ShortestCycleLength(const QStringList &lines)
{
    return walkGaps(lines, [](qint64 gap, qint64 running) { return gap < running; });
}

QString LongestCycleLength(const QStringList &lines)
{
    return walkGaps(lines, [](qint64 gap, qint64 running) { return gap > running; });
}

QString PreviousCycleLength(const QStringList &lines)
{
    return QString::number(gapsOf(lines, 2).front());
}

std::optional<QString> CycleLengthOfMode(const QStringList &lines, int mode)
{
    switch (mode) {
    case 0:
        return AverageCycleLength(lines);
    case 1:
        return ShortestCycleLength(lines);
    case 2:
        return LongestCycleLength(lines);
    case 3:
        return PreviousCycleLength(lines);
    default:
        return std::nullopt;
    }
}
