#pragma once

#include "noticesettings.h"
#include "outlook.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

// What a reminder says on a given day, from the cycle the month grid shows with no cycles ahead: the
// newest registered first day B, the cycle length L, the next period from B + L.

enum class NoticeKind {
    Before,      // daysLeft (BeforeDays..0) days before the predicted first day
    Late,        // the predicted period has begun and no first day has been registered since
    Fertile,     // the first likely-conception day
    BodyFertile, // her body's signs say the fertile phase has begun (likelyFirst: its first day)
    Pms,         // the day before PMSが出やすい時期 (likelyFirst .. likelyLast)
};

struct DueNotice
{
    NoticeKind kind = NoticeKind::Before;
    QDate periodStart; // the predicted first day of the next period
    int daysLeft = 0;  // Before: days from today to periodStart
    QDate likelyFirst; // Fertile: the likely-conception days, both ends inclusive
    QDate likelyLast;
    std::optional<DayRange> range; // where the next period is expected to start, from her history
    bool discreet = false;         // worded without a word about periods (NoticeSettings::discreet)
    bool fromBody = false;         // periodStart is the prediction from her temperature (体温から見た予定日)
    bool ovulationSoon = false;    // BodyFertile: a positive ovulation test in the last three days
    QDate ruleStart;               // the calendar rule's next first day, which the grid colours
    QStringList symptoms = {};     // Pms: the symptom tokens of those days, most frequent first

    friend bool operator==(const DueNotice &, const DueNotice &) = default;
};

// The one reminder due on `today`, or none. On the predicted first day itself "今日" comes before the
// late reminder; lastNotice == today means one was shown already. Days beyond QDate's range: none.
// With bodyNextStart (the current cycle's temperature shift is confirmed) the "before" and "late"
// reminders count from that day instead of the calendar's; the fertile one stays the calendar's.
std::optional<DueNotice> dueNotice(const NoticeSettings &settings, const QDate &newestFirstDay, int cycleLength,
                                   const QDate &today, const std::optional<QDate> &bodyNextStart = std::nullopt);

// The cycle length the main window shows for the stored cycle mode ("Day Setting" / Daymode): the
// statistic of modes 0 to 3 over the lines of date.dat (modes 0 to 2 without the cycles left out in
// "Excluded Cycles"), otherwise (also with a single line, as in the window) the stored Daybetween. Throws EConvertError
// for a line or a length that is not a number.
int storedCycleLength(const QStringList &dateLines, const QString &settingPath);

// dueNotice() from the files, with the range of her history: none while date.dat is missing or empty. With tempPath
// (dateTemp.dat) the prediction from her temperature is used once the current cycle's shift is confirmed; a temperature
// file that cannot be read leaves the calendar's day.
// With dayPath (dateDay.dat) too, the body's fertile reminder comes on a day no other reminder is due,
// once a cycle (BodyFertileLast before the cycle's first day); the PMS reminder on the day before
// PMSが出やすい時期 when no other is due.
std::optional<DueNotice> noticeDueToday(const QString &datePath, const QString &settingPath, const QDate &today,
                                        const QString &tempPath = QString(), const QString &dayPath = QString());

// "2026年12月24日（木）".
QString fullDateText(const QDate &date);

struct NoticeText
{
    QString summary;
    QString body;
    bool offersEntry = false; // the late reminder offers the registration dialog
};

// Discreet: the summary "Easy VELUNA: 予定があります", the day (the period's first day, or the first
// likely, fertile or PMS day) as body, and no registration offer.
NoticeText noticeText(const DueNotice &notice);
