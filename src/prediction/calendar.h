#pragma once

#include "cyclewindows.h"
#include "daycolors.h"
#include "errors.h"
#include "memofile.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <functional>

// A prediction that cannot be expressed: a month outside 1..12, a mailed text that would run to more
// than MaxTextCycleLength days, or a date of the text outside the years 1..9999.
class EPredictionError final : public AppError
{
public:
    using AppError::AppError;
};

// The prediction engine. From the newest first day in date.dat, a cycle length L and a number of cycles
// ahead N it derives one predicted cycle as six windows of days (CycleWindows), classifies the 37 cells
// of a displayed month (DayCaption, DayColor) and writes the cycle as text for the mail.
//
// Both data files are read afresh at every computation. The results persist between computations: a
// missing date.dat keeps the windows of the last one (before any, every window is 1899-12-30, so nothing
// shows a category). A computation that fails (a line that is not a date, an empty date.dat where a first
// day is needed, a bad memo line) throws and changes nothing.
class Calendar final
{
public:
    using TodayFunction = std::function<QDate()>;

    static constexpr int CellCount = 37; // rows of seven from Sunday; a 31-day month starting on Saturday fits
    static constexpr int MaxTextCycleLength = 100000; // days; far above any real cycle, keeps the text bounded

    // today is asked once per month computation; empty means the local clock (QDate::currentDate()).
    Calendar(QString datePath, QString memoPath, TodayFunction today = {});

    // Recomputes the windows from line 0 of date.dat: P0 = newest first day + L * N (32-bit wrapping
    // product). Missing date.dat: nothing changes. Empty date.dat: EListError (index 0).
    void SetCycleWindows(int cycleLength, int cyclesAhead);

    // Reads the day of every line of dateMemo.dat, in file order (none when the file is missing).
    // An empty line throws EListError (index 0), a day that is not a date EConvertError.
    void LoadMemoDays();

    // Windows, memo days, then the 37 cells of month `month` (1..12) of `year`. A date.dat without any
    // line shows the month with day numbers and marks but no category, and forgets the last cycle.
    // Marks, strongest first: memo (when showMemos), today (when showToday), then the categories.
    void PredictMonth(int year, int month, int cycleLength, int cyclesAhead, bool showToday, bool showMemos);

    // One line per day from the first day of ThisPeriod to the last day of NextPeriod:
    // "yyyy/mm/dd", U+3000, the category caption, CR LF. Recomputes the windows as SetCycleWindows.
    // Empty when no cycle was ever computed and date.dat is missing, or when L + 6 < 0.
    // Throws EPredictionError when L exceeds MaxTextCycleLength or a date leaves the years 1..9999.
    QString PredictionText(int cycleLength, int cyclesAhead);

    // First and last day of each window in DayCategory order: ThisPeriod first/last, NextPeriod
    // first/last, ... LikelyDays first/last. Days beyond QDate's range come out as invalid dates.
    std::array<QDate, 2 * DayCategoryCount> CycleWindows() const;
    const CycleWindowDays &WindowDays() const { return m_windows; }
    // True once a cycle was computed from date.dat (and not forgotten because the file became empty).
    bool HasCycle() const { return m_hasCycle; }

    // cell is 1..37; anything else throws EListError for that index.
    QString DayCaption(int cell) const;
    quint32 DayColor(int cell) const;
    const QList<QDate> &MemoDays() const { return m_memoDays; }

private:
    enum class FirstDayState { Missing, Empty, Found };
    struct NewestFirstDay
    {
        FirstDayState state = FirstDayState::Missing;
        qint64 day = 0;
    };

    NewestFirstDay readNewestFirstDay() const;
    QList<QDate> readMemoDays() const;
    QDate today() const;

    QString m_datePath;
    QString m_memoPath;
    TodayFunction m_today;

    CycleWindowDays m_windows = longPastWindows();
    bool m_hasCycle = false;
    std::array<QString, CellCount> m_captions;
    std::array<quint32, CellCount> m_colors;
    QList<QDate> m_memoDays;
};
