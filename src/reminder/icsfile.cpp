#include "icsfile.h"

#include "errors.h"
#include "textfile.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <optional>

namespace {

const std::array<DayCategory, 3> EventCategories = {DayCategory::ThisPeriod, DayCategory::LikelyDays,
                                                    DayCategory::NextPeriod};

QString dayText(const QDate &date)
{
    return date.toString(QStringLiteral("yyyyMMdd"));
}

QString eventUid(DayCategory category, const CycleWindowDays &windows)
{
    const bool period = category != DayCategory::LikelyDays;
    const QDate named = QDate::fromJulianDay(period ? windows[category].first : windows[DayCategory::ThisPeriod].first);
    return dayText(named) + (period ? QStringLiteral("-period@") : QStringLiteral("-likely@")) +
           QStringLiteral(EVELUNA_APP_ID);
}

// TEXT values escape the backslash, ";", "," and line breaks.
QString escapedText(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\' || c == u';' || c == u',') {
            escaped += u'\\';
            escaped += c;
        } else if (c == u'\n') {
            escaped += QStringLiteral("\\n");
        } else if (c != u'\r') {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

// Every period is a prediction, whether it begins this cycle or the next, so all of them read alike.
QString icsEventTitle(DayCategory category, IcsTitles titles)
{
    if (titles == IcsTitles::Discreet) {
        return QStringLiteral("予定");
    }
    return category == DayCategory::LikelyDays ? QStringLiteral("妊娠しやすい日 (予定)")
                                               : QStringLiteral("生理 (予定)");
}

// One content line: at most 75 octets per physical line, continued after CR LF and one blank; a cut
// never falls inside a UTF-8 sequence (before a byte 10xxxxxx).
QByteArray icsContentLine(const QString &line)
{
    const QByteArray bytes = line.toUtf8();
    QByteArray folded;
    qsizetype start = 0;
    qsizetype room = 75;
    while (bytes.size() - start > room) {
        qsizetype cut = start + room;
        while (cut > start && (quint8(bytes.at(cut)) & 0xC0) == 0x80) {
            --cut;
        }
        folded += bytes.mid(start, cut - start) + "\r\n ";
        start = cut;
        room = 74;
    }
    return folded + bytes.mid(start) + "\r\n";
}

QList<CalendarEvent> cycleEvents(const CycleWindowDays &windows)
{
    const qint64 from = windows[DayCategory::ThisPeriod].first;
    const qint64 to = windows[DayCategory::NextPeriod].last;
    QList<CalendarEvent> events;
    for (const DayCategory category : EventCategories) {
        // Each window is at most seven days long, and where another window overrides part of it, that
        // part lies at one of its ends: the days shown in the category are one run.
        const DayWindow &window = windows[category];
        std::optional<qint64> first;
        qint64 last = 0;
        for (qint64 day = std::max(window.first, from); day <= std::min(window.last, to); ++day) {
            if (classifyDay(windows, day) == category) {
                first = first.value_or(day);
                last = day;
            }
        }
        const QDate firstDate = first ? QDate::fromJulianDay(*first) : QDate();
        const QDate lastDate = QDate::fromJulianDay(last);
        if (firstDate.isValid() && lastDate.isValid()) {
            events.append({category, firstDate, lastDate, eventUid(category, windows)});
        }
    }
    return events;
}

QList<CalendarEvent> comingCycleEvents(const QDate &newestFirstDay, int cycleLength, const QDate &today, int cycles)
{
    const qint64 newest = newestFirstDay.toJulianDay();
    const qint64 elapsed = today.toJulianDay() - newest;
    const int start = cycleLength > 0 && elapsed > 0 ? int(std::min<qint64>(elapsed / cycleLength, 1 << 20)) : 0;
    if (cycleLength < 1) {
        cycles = 1;
    }
    QList<CalendarEvent> events;
    QSet<QString> uids;
    for (int k = start; k < start + cycles; ++k) {
        const bool lastCycle = k == start + cycles - 1;
        for (const CalendarEvent &event : cycleEvents(computeCycleWindows(newest, cycleLength, k))) {
            if ((event.category != DayCategory::NextPeriod || lastCycle) && !uids.contains(event.uid)) {
                uids.insert(event.uid);
                events.append(event);
            }
        }
    }
    return events;
}

QByteArray icsCalendar(const QList<CalendarEvent> &events, const QDateTime &stamp, IcsTitles titles)
{
    const QString stampText = stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    QByteArray ics = icsContentLine(QStringLiteral("BEGIN:VCALENDAR")) + icsContentLine(QStringLiteral("VERSION:2.0")) +
                     icsContentLine(QStringLiteral("PRODID:-//Easy VELUNA//eveluna " EVELUNA_VERSION "//JA")) +
                     icsContentLine(QStringLiteral("CALSCALE:GREGORIAN")) +
                     icsContentLine(QStringLiteral("METHOD:PUBLISH"));
    for (const CalendarEvent &event : events) {
        ics += icsContentLine(QStringLiteral("BEGIN:VEVENT"));
        ics += icsContentLine(QStringLiteral("UID:") + escapedText(event.uid));
        ics += icsContentLine(QStringLiteral("DTSTAMP:") + stampText);
        ics += icsContentLine(QStringLiteral("DTSTART;VALUE=DATE:") + dayText(event.first));
        ics += icsContentLine(QStringLiteral("DTEND;VALUE=DATE:") + dayText(event.last.addDays(1)));
        ics += icsContentLine(QStringLiteral("SUMMARY:") + escapedText(icsEventTitle(event.category, titles)));
        ics += icsContentLine(QStringLiteral("TRANSP:TRANSPARENT"));
        ics += icsContentLine(QStringLiteral("END:VEVENT"));
    }
    return ics + icsContentLine(QStringLiteral("END:VCALENDAR"));
}

void writeIcsFile(const QString &path, const QByteArray &bytes)
{
    QString reason;
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, reason, true)) {
        throw EFileError(QStringLiteral("%1 に書き込めません。%2").arg(path, reason));
    }
}
