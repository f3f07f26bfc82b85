#pragma once

#include "cyclewindows.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// The prediction as an iCalendar file (RFC 5545): one all-day event per category and cycle for this
// period, the likely-conception days and the next period, as calendar programs import them.

struct CalendarEvent
{
    DayCategory category = DayCategory::None; // ThisPeriod, LikelyDays or NextPeriod
    QDate first;                              // both ends inclusive
    QDate last;
    // The same for the same cycle and category, so that a second import updates the event: a period is
    // named by its predicted first day (this period of one cycle is the next period of the one before),
    // the likely days by the first day of their cycle.
    QString uid;

    friend bool operator==(const CalendarEvent &, const CalendarEvent &) = default;
};

// The days that the mailed text and the month grid give this period, the likely days and the next
// period in one cycle: the part of each window from the first day of this period to the last day of the
// next period where that category is the one shown. A category shown on no day gives no event.
QList<CalendarEvent> cycleEvents(const CycleWindowDays &windows);

// `cycles` cycles from the one today lies in (from the newest first day's cycle when today is before
// it): each one's period and likely days, and after the last one the next period. A cycle length below
// one day predicts one cycle only.
QList<CalendarEvent> comingCycleEvents(const QDate &newestFirstDay, int cycleLength, const QDate &today,
                                       int cycles = 6);

// One content line as written: at most 75 octets per physical line, each ending in CR LF, continued after
// a blank, and never cut inside a UTF-8 character.
QByteArray icsContentLine(const QString &line);

// Event titles: "生理 (予定)" for every period and "妊娠しやすい日 (予定)", or "予定" alone for every
// event on a calendar that others may see (the notice dialog's "通知の文面を控えめにする").
enum class IcsTitles { Plain, Discreet };

// The title a calendar list shows for an event of that category.
QString icsEventTitle(DayCategory category, IcsTitles titles);

// The whole calendar: CR LF line ends, lines folded at 75 octets without splitting a UTF-8 character,
// PRODID of this program, METHOD:PUBLISH, and per event UID, DTSTAMP (stamp in UTC), DTSTART and an
// exclusive DTEND as dates, the title as SUMMARY and TRANSP:TRANSPARENT.
QByteArray icsCalendar(const QList<CalendarEvent> &events, const QDateTime &stamp, IcsTitles titles = IcsTitles::Plain);

// Writes the calendar through a temporary file and a rename, readable by the owner only (mode 0600,
// also when it replaces a file others could read). Throws EFileError with the path and the reason.
void writeIcsFile(const QString &path, const QByteArray &bytes);
