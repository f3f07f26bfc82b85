#include "calendar.h"

#include "datetext.h"
#include "linefile.h"
#include "memofile.h"
#include "textfile.h"

#include <QFileInfo>

Calendar::Calendar(QString datePath, QString memoPath, TodayFunction today)
    : m_datePath(std::move(datePath))
    , m_memoPath(std::move(memoPath))
    , m_today(std::move(today))
{
    m_colors.fill(CellColor::NoCategory);
}

QDate Calendar::today() const
{
    return m_today ? m_today() : QDate::currentDate();
}

Calendar::NewestFirstDay Calendar::readNewestFirstDay() const
{
    if (!QFileInfo::exists(m_datePath)) {
        return {};
    }
    const LineFile file = LineFile::readIfExists(m_datePath);
    if (file.lines().isEmpty()) {
        return {FirstDayState::Empty, 0};
    }
    return {FirstDayState::Found, parseDateText(file.lines().front()).toJulianDay()};
}

QList<QDate> Calendar::readMemoDays() const
{
    return ReadMemoDays(m_memoPath);
}

void Calendar::SetCycleWindows(int cycleLength, int cyclesAhead)
{
    const NewestFirstDay newest = readNewestFirstDay();
    switch (newest.state) {
    case FirstDayState::Missing:
        return;
    case FirstDayState::Empty:
        throw EListError::indexOutOfRange(0);
    case FirstDayState::Found:
        m_windows = computeCycleWindows(newest.day, cycleLength, cyclesAhead);
        m_hasCycle = true;
        return;
    }
}

void Calendar::LoadMemoDays()
{
    m_memoDays = readMemoDays();
}

void Calendar::PredictMonth(int year, int month, int cycleLength, int cyclesAhead, bool showToday, bool showMemos)
{
    if (month < 1 || month > 12) {
        throw EPredictionError(QStringLiteral("月 %1 は 1 から 12 の範囲にありません").arg(month));
    }

    // Everything is computed into locals and stored only at the end, so a failure leaves the last
    // complete picture (windows, memo days, cells) as it was.
    CycleWindowDays windows = m_windows;
    bool hasCycle = m_hasCycle;
    const NewestFirstDay newest = readNewestFirstDay();
    if (newest.state == FirstDayState::Found) {
        windows = computeCycleWindows(newest.day, cycleLength, cyclesAhead);
        hasCycle = true;
    } else if (newest.state == FirstDayState::Empty) {
        // Every first day was deleted: an old prediction would no longer rest on anything.
        windows = longPastWindows();
        hasCycle = false;
    }
    QList<QDate> memoDays = readMemoDays();

    const int monthDays = daysInMonth(year, month);
    const qint64 firstDay = julianDay(year, month, 1);
    const int firstCell = weekdayNumber(firstDay);

    // One pass over the memo days marks the days of this month, so the cost stays linear in the file.
    std::array<bool, 31> memoInMonth{};
    if (showMemos) {
        for (const QDate &memoDay : std::as_const(memoDays)) {
            const qint64 offset = memoDay.toJulianDay() - firstDay;
            if (offset >= 0 && offset < monthDays) {
                memoInMonth[std::size_t(offset)] = true;
            }
        }
    }
    // An invalid date from the seam has no day number and marks nothing.
    const QDate todayDate = showToday ? today() : QDate();
    const bool todayValid = todayDate.isValid();
    const qint64 todayDay = todayValid ? todayDate.toJulianDay() : 0;

    std::array<QString, CellCount> captions;
    std::array<quint32, CellCount> colors;
    colors.fill(CellColor::NoCategory);
    for (int cell = 1; cell <= CellCount; ++cell) {
        const int dayOfMonth = cell - firstCell + 1;
        if (dayOfMonth < 1 || dayOfMonth > monthDays) {
            continue;
        }
        const std::size_t index = std::size_t(cell - 1);
        const qint64 day = firstDay + dayOfMonth - 1;
        captions[index] = QString::number(dayOfMonth);
        quint32 color = categoryColor(classifyDay(windows, day));
        if (todayValid && day == todayDay) {
            color = CellColor::TodayMark;
        }
        if (memoInMonth[std::size_t(dayOfMonth - 1)]) {
            color = CellColor::MemoMark;
        }
        colors[index] = color;
    }

    m_windows = windows;
    m_hasCycle = hasCycle;
    m_memoDays = std::move(memoDays);
    m_captions = std::move(captions);
    m_colors = colors;
}

QString Calendar::PredictionText(int cycleLength, int cyclesAhead)
{
    SetCycleWindows(cycleLength, cyclesAhead);
    if (!m_hasCycle) {
        return {};
    }
    const qint64 firstDay = m_windows[DayCategory::ThisPeriod].first;
    const qint64 span = m_windows[DayCategory::NextPeriod].last - firstDay; // cycle length + 6
    if (span < 0) {
        return {};
    }
    if (span - 6 > MaxTextCycleLength) {
        throw EPredictionError(QStringLiteral("周期 %1 日は長すぎます (予測の文面は %2 日以下の周期で作ります)")
                                   .arg(span - 6)
                                   .arg(MaxTextCycleLength));
    }
    const qint64 lastDay = firstDay + span;
    if (firstDay < julianDay(1, 1, 1) || lastDay > julianDay(9999, 12, 31)) {
        throw EPredictionError(QStringLiteral("予測の日付が 0001/01/01 から 9999/12/31 の範囲を超えます"));
    }

    const QString lineEnd = QStringLiteral("\r\n");
    QString text;
    text.reserve((span + 1) * 22);
    for (qint64 day = firstDay; day <= lastDay; ++day) {
        text += formatDateText(QDate::fromJulianDay(day));
        const DayCategory category = classifyDay(m_windows, day);
        if (category != DayCategory::None) {
            text += QChar(0x3000);
            text += categoryCaption(category);
        }
        text += lineEnd;
    }
    return text;
}

std::array<QDate, 2 * DayCategoryCount> Calendar::CycleWindows() const
{
    std::array<QDate, 2 * DayCategoryCount> dates;
    for (std::size_t i = 0; i < m_windows.windows.size(); ++i) {
        dates[2 * i] = QDate::fromJulianDay(m_windows.windows[i].first);
        dates[2 * i + 1] = QDate::fromJulianDay(m_windows.windows[i].last);
    }
    return dates;
}

QString Calendar::DayCaption(int cell) const
{
    if (cell < 1 || cell > CellCount) {
        throw EListError::indexOutOfRange(cell);
    }
    return m_captions[std::size_t(cell - 1)];
}

quint32 Calendar::DayColor(int cell) const
{
    if (cell < 1 || cell > CellCount) {
        throw EListError::indexOutOfRange(cell);
    }
    return m_colors[std::size_t(cell - 1)];
}
