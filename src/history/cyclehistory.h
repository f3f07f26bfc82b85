#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include "dayrecordfile.h"
#include "outlook.h"
#include "periodobservations.h"

#include <optional>

// The registered history as the history window, its report and its CSV export show it: the first days
// oldest first, the cycles between them and the memos. Qt Core only; files are read by path.

struct CycleHistory
{
    // Registered first days, oldest first, each once. Cycle i runs from firstDays[i] up to the day before
    // firstDays[i + 1]; the newest first day begins the cycle still running.
    QList<QDate> firstDays;
    // Memo of each day that has one, line breaks as CR LF.
    QMap<QDate, QString> memos;
    // What she recorded day by day (dateDay.dat), ascending.
    QList<DayRecord> dayRecords;

    // Length in days of each completed cycle, oldest first (one fewer than the first days).
    QList<int> cycleLengths() const;
    // Memo days within the cycle beginning at firstDays[i]: from that day up to the day before the next
    // first day; for the newest first day every memo day from it on.
    int memoDaysInCycle(qsizetype i) const;
};

// Reads date.dat, dateMemo.dat and, when dayPath is given, dateDay.dat (a missing file holds nothing). A
// hand-edited date.dat out of order or with a day written twice still gives one history in date order.
// Throws EConvertError for a first day or memo day that is not a date, EFileError for a file that cannot
// be read.
CycleHistory readCycleHistory(const QString &datePath, const QString &memoPath, const QString &dayPath = QString());

struct CycleStatistics
{
    int cycleCount = 0;
    // Mean length in days; 0 without cycles.
    double average = 0;
    // The numbers the cycle-length modes give: the mean truncated, the shortest and the longest.
    int modeAverage = 0;
    int shortest = 0;
    int longest = 0;
    // Sample standard deviation (divided by count - 1) in days; needs two cycles.
    std::optional<double> standardDeviation;
    // Longest minus shortest of the newest RecentCycleCount cycles (all of them when fewer).
    int recentSpread = 0;
    // Days from the newest first day to today (negative for a first day registered ahead); none
    // without first days.
    std::optional<qint64> daysSinceLast;
    // The newest first day plus the cycle length the calendar uses: its next period at cycle 0.
    std::optional<QDate> nextFirstDay;
    // Days from nextFirstDay to today while no newer first day is registered; 0 before it.
    qint64 lateDays = 0;
    // Where the next period is expected to start, and how far the stored mode was off before.
    std::optional<DayRange> range;
    std::optional<TrackRecord> trackRecord;
};

// cycleLength is the calendar's current cycle length in days, none when it has none. The cycles beginning
// on an `excluded` day count in none of the numbers; mode and ownLength are the stored cycle mode and own
// length the track record replays.
CycleStatistics computeStatistics(const QList<QDate> &firstDays, const QDate &today, std::optional<int> cycleLength,
                                  const QSet<QDate> &excluded = {}, int mode = 4, int ownLength = 28);

// The statistics as label and value texts, in the order shown: "周期の数" "12", "平均" "28.5日", ...
// Values that cannot be given (no cycle yet) read "-".
QList<std::pair<QString, QString>> statisticsTexts(const CycleStatistics &stats);

// The range and the track record as label and value texts: "次の生理の見込み"
// "12月22日〜12月27日 (10回に8回はこの範囲)", "これまでの予測" "直近10回: 2日以内 7回、平均のずれ 1.8日";
// "予定日を2日過ぎています" while the period is late.
QList<std::pair<QString, QString>> outlookTexts(const CycleStatistics &stats);

// One row per first day, oldest first: the day, the length of the cycle it begins ("" for the newest),
// the number of memo days in that cycle and what her day records say of it ("—" for a cycle without any).
struct HistoryRow
{
    QString firstDay;
    QString length;
    int memoDays = 0;
    QString offBy;          // days the period came after the rule's day ("+2", "-1", "0"); "" without one
    QString periodDays;     // 月経期間(日): "5", "—" when no bleeding is recorded
    QString heavyDays;      // 多い日
    QString pain;           // 痛み, the strongest: なし/軽い/中/強
    QString painkillerDays; // 鎮痛剤(日)
    // Without offBy, why: a short word for the table ("進行中", "除外", "記録不足") and the sentence behind it.
    QString noOffBy;
    QString noOffByReason;
};
// `excluded`: the first days of the cycles left out, which the predictions pass over.
QList<HistoryRow> historyRows(const CycleHistory &history, const QList<PastPrediction> &predictions = {},
                              const QSet<QDate> &excluded = {});

// The period figures of the 統計 box and the report: "平均月経期間 (直近12周期)" "5.3日" ("-" without
// a recorded period), and the observations against the standard ranges, each as a line.
QList<std::pair<QString, QString>> periodStatisticsTexts(const QList<CycleRecord> &cycles);

// The CSV export: UTF-8 with a byte-order mark, CR LF, the header 開始日,周期(日),メモ and one row per
// first day, newest last. Fields with a comma, a quote, a CR or an LF are quoted, quotes doubled
// (RFC 4180); a memo's line breaks stay CR LF inside its field.
QByteArray historyCsv(const CycleHistory &history);

// Writes bytes to path through a temporary file and a rename; a new file is readable by its owner only
// and an existing one loses any group and other access. Throws EFileError
// "ファイル "<path>" を作成できません。<system text>".
void writePrivateFile(const QString &path, const QByteArray &bytes);
