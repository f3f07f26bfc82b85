#pragma once

#include "caldavapi.h"

#include <QString>
#include <QStringList>

#include <functional>

class QObject;

// Section "CalDAV" of setting.ini: her calendar server, the account and what is sent.
struct CalDavSettings
{
    static constexpr int MinCycles = 1;
    static constexpr int MaxCycles = 6;

    QString url;              // Url: as she typed it
    QString user;             // User
    QString calendar;         // Calendar: the chosen calendar's absolute URL
    int cycles = 3;           // Cycles: 1..6 coming periods; a stored value outside is brought into that range
    bool sendRecords = false; // SendRecords
    QStringList startWords = {QStringLiteral("生理"), QStringLiteral("生理開始")}; // StartWords, comma-separated
    QString caFile;                                                                // CaFile
    QString storedPass; // Pass, encoded as the mail's; empty when the keyring holds the password

    bool isSetUp() const { return !url.trimmed().isEmpty(); }
};

CalDavSettings readCalDavSettings(const QString &settingPath);

// Writes every key but Pass (storeCalDavPassword's). Throws EIniFileError.
void writeCalDavSettings(const QString &settingPath, const CalDavSettings &settings);

// The password: from Pass when it holds one, else from the keyring (the mail's service, the item
// "<user>@<url>"). done runs later, while context exists; the empty text when neither has one.
void readCalDavPassword(const CalDavSettings &settings, QObject *context, std::function<void(const QString &)> done);

// Into the keyring, and into Pass (encoded as the mail's) only when no keyring answers; a Pass left from
// before goes once the keyring holds the password. done(logLine) runs after the file is written, with
// the reason when the keyring could not be used, empty otherwise. Runs to its end also after the caller
// is gone.
void storeCalDavPassword(const QString &settingPath, const CalDavSettings &settings, const QString &password,
                         std::function<void(const QString &logLine)> done);

// The client module's entries (caldavapi.h). Throws AppError when the module cannot be loaded.
DiscoverCalendarsFunction discoverCalendarsFunction();

// One whole sync of the data folder (ending in "/"): reads the settings and the password, loads the
// client, then sends and brings home. done runs exactly once unless the returned object (a child of
// parent) is deleted first. Without a Url it says so (NotSetUp) and touches nothing.
QObject *startCalendarSync(const QString &dataFolder, QObject *parent, std::function<void(const SyncResult &)> done);
