"""Prints what python3-icalendar reads in FILE as JSON ("events", "prodid", "crlf", "longest" line) and,
with --khal, the days per title that khal lists after khal import --batch. Usage: ics_check.py FILE [--khal]."""

import json
import os
import subprocess
import sys
import tempfile

import icalendar

path = sys.argv[1]
with open(path, "rb") as file:
    data = file.read()
calendar = icalendar.Calendar.from_ical(data)
events = [[str(e["SUMMARY"]), e.decoded("DTSTART").isoformat(), e.decoded("DTEND").isoformat(), str(e["UID"]),
           str(e["TRANSP"])] for e in calendar.walk("VEVENT")]
lines = data.split(b"\n")
result = {"events": events, "prodid": str(calendar["PRODID"]),
          "crlf": lines[-1] == b"" and all(line.endswith(b"\r") for line in lines[:-1]),
          "longest": max(len(line.rstrip(b"\r")) for line in lines)}

if "--khal" in sys.argv:
    with tempfile.TemporaryDirectory() as folder:
        config = os.path.join(folder, "config")
        os.mkdir(os.path.join(folder, "calendar"))
        with open(config, "w", encoding="utf-8") as file:
            file.write(f"[calendars]\n[[eveluna]]\npath = {folder}/calendar\n[sqlite]\npath = {folder}/khal.db\n"
                       "[locale]\ndateformat = %Y-%m-%d\nlongdateformat = %Y-%m-%d\n")
        subprocess.run(["khal", "-c", config, "import", "--batch", path], check=True)
        listing = subprocess.run(["khal", "-c", config, "list", "--day-format", "{date}", "--format", "{title}",
                                  min(e[1] for e in events), "400d"], check=True, capture_output=True,
                                 text=True).stdout
        days = {}
        day = None
        for line in listing.splitlines():
            if line[:4].isdigit() and line[4:5] == "-":
                day = line.strip()
            elif line.strip():
                days.setdefault(line.strip(), []).append(day)
        result["khal"] = days

print(json.dumps(result, ensure_ascii=False))
