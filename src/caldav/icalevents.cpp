#include "icalevents.h"

#include <libical/ical.h>

#include <memory>

namespace {

struct ComponentFree
{
    void operator()(icalcomponent *component) const { icalcomponent_free(component); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

QDate dateOf(const icaltimetype &time)
{
    return icaltime_is_null_time(time) ? QDate() : QDate(time.year, time.month, time.day);
}

icaltimetype dayValue(const QDate &day)
{
    icaltimetype value = icaltime_null_date();
    value.year = day.year();
    value.month = day.month();
    value.day = day.day();
    return value;
}

RemoteEvent remoteEvent(icalcomponent *vevent)
{
    RemoteEvent event;
    event.uid = QString::fromUtf8(icalcomponent_get_uid(vevent));
    event.summary = QString::fromUtf8(icalcomponent_get_summary(vevent));
    const icaltimetype start = icalcomponent_get_dtstart(vevent);
    event.first = dateOf(start);
    event.allDay = start.is_date != 0;
    const icaltimetype end = icalcomponent_get_dtend(vevent);
    // An all-day event without DTEND or DURATION lasts its one day.
    event.last = icaltime_is_null_time(end) || !event.allDay ? event.first : dateOf(end).addDays(-1);
    if (event.last < event.first) {
        event.last = event.first;
    }
    return event;
}

} // namespace

QList<RemoteEvent> readCalendarResource(const QByteArray &icalendar)
{
    // A resource libical cannot read is nobody's event for the program: an error must never abort.
    icalerror_set_errors_are_fatal(0);
    const Component root(icalparser_parse_string(icalendar.constData()));
    QList<RemoteEvent> events;
    if (!root) {
        return events;
    }
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
        events.append(remoteEvent(root.get()));
        return events;
    }
    for (icalcomponent *vevent = icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT); vevent;
         vevent = icalcomponent_get_next_component(root.get(), ICAL_VEVENT_COMPONENT)) {
        events.append(remoteEvent(vevent));
    }
    return events;
}

QByteArray calendarResource(const PublishedEvent &event, const QDateTime &stamp)
{
    icalerror_set_errors_are_fatal(0);
    const QDateTime utc = stamp.toUTC();
    icaltimetype stampValue = icaltime_null_time();
    stampValue.year = utc.date().year();
    stampValue.month = utc.date().month();
    stampValue.day = utc.date().day();
    stampValue.hour = utc.time().hour();
    stampValue.minute = utc.time().minute();
    stampValue.second = utc.time().second();
    stampValue.zone = icaltimezone_get_utc_timezone();

    const QByteArray uid = event.uid.toUtf8();
    const QByteArray title = event.title.toUtf8();
    icalcomponent *vevent = icalcomponent_vanew(
        ICAL_VEVENT_COMPONENT, icalproperty_new_uid(uid.constData()), icalproperty_new_dtstamp(stampValue),
        icalproperty_new_dtstart(dayValue(event.first)), icalproperty_new_dtend(dayValue(event.last.addDays(1))),
        icalproperty_new_summary(title.constData()), icalproperty_new_transp(ICAL_TRANSP_TRANSPARENT), nullptr);
    const Component calendar(icalcomponent_vanew(ICAL_VCALENDAR_COMPONENT, icalproperty_new_version("2.0"),
                                                 icalproperty_new_prodid("-//Easy VELUNA//eveluna//JA"),
                                                 icalproperty_new_calscale("GREGORIAN"), vevent, nullptr));
    char *text = icalcomponent_as_ical_string_r(calendar.get());
    const QByteArray bytes(text);
    icalmemory_free_buffer(text);
    return bytes;
}
