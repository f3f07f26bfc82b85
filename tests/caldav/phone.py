#!/usr/bin/python3
"""Her phone's calendar app, through python3-caldav: makes the calendar and adds or lists events.

phone.py URL USER PASSWORD CAFILE make-calendar NAME
phone.py URL USER PASSWORD CAFILE add CALENDAR_URL UID SUMMARY YYYY-MM-DD
phone.py URL USER PASSWORD CAFILE list CALENDAR_URL      prints "uid<TAB>summary<TAB>yyyy-mm-dd" lines
"""
import datetime
import sys

import caldav


def main():
    url, user, password, cafile, command, *rest = sys.argv[1:]
    client = caldav.DAVClient(url, username=user, password=password, ssl_verify_cert=cafile)
    if command == "make-calendar":
        calendar = client.principal().make_calendar(name=rest[0], cal_id=rest[0])
        print(calendar.url)
    elif command == "add":
        calendar_url, uid, summary, day = rest
        start = datetime.date.fromisoformat(day)
        client.calendar(url=calendar_url).save_event(
            "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//phone//test//EN\r\nBEGIN:VEVENT\r\n"
            f"UID:{uid}\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:{start:%Y%m%d}\r\n"
            f"DTEND;VALUE=DATE:{start + datetime.timedelta(days=1):%Y%m%d}\r\nSUMMARY:{summary}\r\n"
            "END:VEVENT\r\nEND:VCALENDAR\r\n")
    elif command == "list":
        for event in client.calendar(url=rest[0]).events():
            vevent = event.vobject_instance.vevent
            print(f"{vevent.uid.value}\t{vevent.summary.value}\t{vevent.dtstart.value.isoformat()}")
    else:
        sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    main()
