#pragma once

#include "caldavapi.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

// Calendar data through libical: the events of a resource the server returned, and the resource the
// program sends for one of its own events.

struct RemoteEvent
{
    QString uid;
    QString summary;
    QDate first;         // the start day
    QDate last;          // the last day of an all-day event (its exclusive end minus a day)
    bool allDay = false; // DTSTART is a date, not a date and time
};

// Every VEVENT of the resource; none when libical cannot read it.
QList<RemoteEvent> readCalendarResource(const QByteArray &icalendar);

// One VCALENDAR holding the event as an all-day VEVENT (UID, DTSTAMP in UTC, DTSTART, an exclusive
// DTEND, SUMMARY, TRANSP:TRANSPARENT), with no METHOD: a resource in a calendar collection must carry none.
QByteArray calendarResource(const PublishedEvent &event, const QDateTime &stamp);
