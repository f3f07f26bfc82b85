#include "cyclestats.h"

#include "datetext.h"
#include "errors.h"

#include <QList>

namespace {

// A gap in days and the first day of the cycle it measures (the older of its two days).
struct Gap
{
    qint64 days;
    qint64 start;
};

// Leaves out the gaps of cycles beginning on an excluded day; all of them when nothing would be left,
// so a mode always has a length.
QList<qint64> keptGaps(const QList<Gap> &gaps, const QSet<QDate> &excluded)
{
    QList<qint64> kept;
    QList<qint64> all;
    for (const Gap &gap : gaps) {
        all.append(gap.days);
        if (!excluded.contains(QDate::fromJulianDay(gap.start))) {
            kept.append(gap.days);
        }
    }
    return kept.isEmpty() ? all : kept;
}

qint64 averageOf(const QList<qint64> &gaps)
{
    qint64 sum = 0;
    for (const qint64 gap : gaps) {
        sum += gap;
    }
    // Integer division truncates toward zero, also for the negative sum of an unsorted file.
    return sum / gaps.size();
}

template<typename Better> qint64 walk(const QList<qint64> &gaps, Better better)
{
    qint64 running = 0;
    for (const qint64 gap : gaps) {
        if (better(gap, running) || running == 0) {
            running = gap;
        }
    }
    return running;
}

bool shorter(qint64 gap, qint64 running)
{
    return gap < running;
}

bool longer(qint64 gap, qint64 running)
{
    return gap > running;
}

// Modes 0 to 3 over gaps given newest first.
std::optional<qint64> lengthOfMode(const QList<Gap> &gaps, int mode, const QSet<QDate> &excluded)
{
    switch (mode) {
    case 0:
        return averageOf(keptGaps(gaps, excluded));
    case 1:
        return walk(keptGaps(gaps, excluded), shorter);
    case 2:
        return walk(keptGaps(gaps, excluded), longer);
    case 3:
        return gaps.front().days;
    default:
        return std::nullopt;
    }
}

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

std::optional<QString> CycleLengthOfMode(const QStringList &lines, int mode, const QSet<QDate> &excluded)
{
    if (!excluded.isEmpty() && mode >= 0 && mode <= 2) {
        if (lines.size() < 2) {
            throw EListError::indexOutOfRange(lines.size());
        }
        QList<Gap> gaps;
        gaps.reserve(lines.size() - 1);
        qint64 newer = parseDateText(lines[0]).toJulianDay();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qint64 older = parseDateText(lines[i]).toJulianDay();
            gaps.append({newer - older, older});
            newer = older;
        }
        return QString::number(*lengthOfMode(gaps, mode, excluded));
    }
    return CycleLengthOfMode(lines, mode);
}

std::optional<int> cycleLengthOfModeDays(const QList<QDate> &oldestFirst, qsizetype count, int mode,
                                         const QSet<QDate> &excluded)
{
    if (count < 2) {
        return std::nullopt;
    }
    QList<Gap> gaps;
    gaps.reserve(count - 1);
    for (qsizetype i = count - 1; i > 0; --i) {
        gaps.append({oldestFirst[i - 1].daysTo(oldestFirst[i]), oldestFirst[i - 1].toJulianDay()});
    }
    const std::optional<qint64> length = lengthOfMode(gaps, mode, excluded);
    return length ? std::optional<int>(int(*length)) : std::nullopt;
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

int ownCycleLengthFrom(const QString &stored, QString *notice)
{
    if (stored.isEmpty()) {
        return DefaultOwnCycleDays;
    }
    try {
        const int length = parseIntegerText(stored);
        if (length >= MinOwnCycleDays && length <= MaxOwnCycleDays) {
            return length;
        }
    } catch (const EConvertError &) {
    }
    if (notice != nullptr) {
        *notice =
            QStringLiteral("setting.ini の Daybetween=%1 は周期設定の日数 (%2〜%3) ではないため、%4 日として読みます")
                .arg(stored.left(20))
                .arg(MinOwnCycleDays)
                .arg(MaxOwnCycleDays)
                .arg(DefaultOwnCycleDays);
    }
    return DefaultOwnCycleDays;
}
