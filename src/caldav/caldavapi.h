#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;

// What the program and the calendar-server client (CalDAV, RFC 4791) hand each other. The client lives
// in a module of its own beside the executable (eveluna-modules/eveluna-caldav.so), loaded at the first
// sync: Qt Network and libical linked into the program would cost every start their loading, and the
// first sync comes only after the window's first paint. Plain values only, so that nothing of the
// program's own libraries is needed on both sides.

struct CalDavAccount
{
    QString url; // as she typed it: the server, a principal or a calendar (https only)
    QString user;
    QString password;
    QString calendar;      // the chosen calendar's absolute URL; empty: url itself when it is a calendar
    QString caFile;        // a PEM file of certificate authorities trusted besides the system's; empty: none
    int timeoutMs = 30000; // for each request, from sending it to the end of the reply
};

struct CalDavCalendar
{
    QString url;  // absolute
    QString name; // the display name, or the last part of the path when the server gives none
};

struct DiscoveryResult
{
    bool ok = false;
    QString line; // "接続できました: 3 個のカレンダー" or the reason, one sentence
    QList<CalDavCalendar> calendars;
};

// One all-day event the program keeps in her calendar, stored as the resource "<uid>.ics".
struct PublishedEvent
{
    QString uid;
    QDate first; // both ends inclusive
    QDate last;
    QString title;

    friend bool operator==(const PublishedEvent &, const PublishedEvent &) = default;
};

// What the program does with the first days she marked in the calendar elsewhere, before anything is
// sent: it merges them and gives back the events to publish from the records as they then stand.
struct ComeHomeResult
{
    QString failure; // not empty: her records could not be read or written; nothing is sent
    QString message; // "カレンダーから生理開始日を1件取り込みました: 12月3日", or empty
    QList<PublishedEvent> publish; // every event of ours the calendar should hold after the sync
};

struct SyncRequest
{
    CalDavAccount account;
    // What ends every UID of this program in this data folder ("-<id>@<application id>"): a resource
    // whose UID ends otherwise is not ours and is never changed or deleted.
    QString uidSuffix;
    QStringList startWords; // titles of an all-day event that mark a first day ("生理", "生理開始")
    // Called once, on the window's thread, with the days (ascending, each once) of the calendar's
    // all-day events titled by a start word that are not ours.
    std::function<ComeHomeResult(const QList<QDate> &markedDays)> comeHome;
};

enum class SyncOutcome {
    Done,
    NotSetUp,     // no server in the settings: nothing was tried
    BadSetting,   // not https, no calendar chosen, an unreadable CaFile
    ServerFailed, // not reached, refused, or answered what cannot be used; try again at the next sync
    LocalFailed,  // her records could not be read or written
};

struct SyncResult
{
    SyncOutcome outcome = SyncOutcome::Done;
    QString line;            // one sentence: what was done, or why not
    QString comeHomeMessage; // not empty when first days came home (also when sending failed after that)
    int sent = 0;
    int deleted = 0;
};

// The module's entries. Each starts its work and returns at once; the work runs in the event loop and
// ends by calling done exactly once, unless the returned object (a child of parent) is deleted first,
// which cancels what is under way.
using DiscoverCalendarsFunction = QObject *(*)(const CalDavAccount &account, QObject *parent,
                                               std::function<void(const DiscoveryResult &)> done);
using StartSyncFunction = QObject *(*)(const SyncRequest &request, QObject *parent,
                                       std::function<void(const SyncResult &)> done);
inline constexpr char DiscoverCalendarsSymbol[] = "evelunaDiscoverCalendars";
inline constexpr char StartSyncSymbol[] = "evelunaStartCalendarSync";
