#include "calendarsync.h"

#include "base64.h"
#include "datafiles.h"
#include "errors.h"
#include "mailkeyring.h"
#include "settings.h"
#include "syncplan.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QLibrary>
#include <QPointer>

namespace {

const QString Section = QStringLiteral("CalDAV");
const QString UrlKey = QStringLiteral("Url");
const QString UserKey = QStringLiteral("User");
const QString CalendarKey = QStringLiteral("Calendar");
const QString CyclesKey = QStringLiteral("Cycles");
const QString SendRecordsKey = QStringLiteral("SendRecords");
const QString StartWordsKey = QStringLiteral("StartWords");
const QString CaFileKey = QStringLiteral("CaFile");
const QString PassKey = QStringLiteral("Pass");

QLibrary &clientModule()
{
    // Beside the real executable, where the help is too (lib/eveluna/ when installed).
    static QLibrary module(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("eveluna-modules/eveluna-caldav.so")));
    return module;
}

template<typename Function> Function resolved(const char *symbol)
{
    const auto function = reinterpret_cast<Function>(clientModule().resolve(symbol));
    if (function == nullptr) {
        throw AppError(QStringLiteral("カレンダー同期の機能を読み込めません (%1)").arg(clientModule().errorString()));
    }
    return function;
}

QString keyringServer(const CalDavSettings &settings)
{
    return settings.url.trimmed();
}

} // namespace

CalDavSettings readCalDavSettings(const QString &settingPath)
{
    const IniFile ini(settingPath);
    CalDavSettings settings;
    settings.url = ini.readString(Section, UrlKey, QString());
    settings.user = ini.readString(Section, UserKey, QString());
    settings.calendar = ini.readString(Section, CalendarKey, QString());
    settings.cycles = std::clamp(ini.readInteger(Section, CyclesKey, settings.cycles), CalDavSettings::MinCycles,
                                 CalDavSettings::MaxCycles);
    settings.sendRecords = ini.readBool(Section, SendRecordsKey, settings.sendRecords);
    const QString words = ini.readString(Section, StartWordsKey, settings.startWords.join(u','));
    settings.startWords.clear();
    for (const QString &word : words.split(u',')) {
        if (!word.trimmed().isEmpty()) {
            settings.startWords.append(word.trimmed());
        }
    }
    settings.caFile = ini.readString(Section, CaFileKey, QString());
    settings.storedPass = ini.readString(Section, PassKey, QString());
    return settings;
}

void writeCalDavSettings(const QString &settingPath, const CalDavSettings &settings)
{
    IniFile ini(settingPath);
    ini.writeString(Section, UrlKey, settings.url);
    ini.writeString(Section, UserKey, settings.user);
    ini.writeString(Section, CalendarKey, settings.calendar);
    ini.writeInteger(Section, CyclesKey, settings.cycles);
    ini.writeBool(Section, SendRecordsKey, settings.sendRecords);
    ini.writeString(Section, StartWordsKey, settings.startWords.join(u','));
    ini.writeString(Section, CaFileKey, settings.caFile);
}

void readCalDavPassword(const CalDavSettings &settings, QObject *context, std::function<void(const QString &)> done)
{
    const QString stored = Base64Decode(Base64Decode(settings.storedPass));
    if (!stored.isEmpty() || settings.user.isEmpty() || !settings.isSetUp()) {
        done(stored);
        return;
    }
    MailKeyring::readPassword(settings.user, keyringServer(settings), context, std::move(done));
}

void storeCalDavPassword(const QString &settingPath, const CalDavSettings &settings, const QString &password,
                         std::function<void(const QString &logLine)> done)
{
    MailKeyring::storePassword(settings.user, keyringServer(settings), password,
                               [settingPath, password, done = std::move(done)](bool inKeyring, const QString &logLine) {
                                   QString line = logLine;
                                   try {
                                       IniFile ini(settingPath);
                                       if (inKeyring || password.isEmpty()) {
                                           ini.removeKey(Section, PassKey);
                                       } else {
                                           ini.writeString(Section, PassKey, Base64Encode(Base64Encode(password)));
                                       }
                                   } catch (const AppError &e) {
                                       line = e.message();
                                   }
                                   done(line);
                               });
}

DiscoverCalendarsFunction discoverCalendarsFunction()
{
    return resolved<DiscoverCalendarsFunction>(DiscoverCalendarsSymbol);
}

QObject *startCalendarSync(const QString &dataFolder, QObject *parent, std::function<void(const SyncResult &)> done)
{
    auto *holder = new QObject(parent);
    const auto fail = [holder, done](SyncOutcome outcome, const QString &line) {
        SyncResult result;
        result.outcome = outcome;
        result.line = line;
        holder->deleteLater();
        done(result);
    };
    CalDavSettings settings;
    try {
        settings = readCalDavSettings(dataFilePath(dataFolder, DataKind::Settings));
    } catch (const AppError &e) {
        fail(SyncOutcome::LocalFailed, e.message());
        return holder;
    }
    if (!settings.isSetUp()) {
        fail(SyncOutcome::NotSetUp, QStringLiteral("カレンダーとの同期が設定されていません。「通知」の"
                                                   "「カレンダーと同期」で設定してください"));
        return holder;
    }
    readCalDavPassword(settings, holder, [=](const QString &password) {
        StartSyncFunction startSync = nullptr;
        try {
            startSync = resolved<StartSyncFunction>(StartSyncSymbol);
        } catch (const AppError &e) {
            fail(SyncOutcome::LocalFailed, e.message());
            return;
        }
        SyncRequest request;
        request.account = {settings.url, settings.user, password, settings.calendar, settings.caFile};
        const QString suffix = calendarUidSuffix(dataFolder);
        request.uidSuffix = suffix;
        request.startWords = settings.startWords;
        request.comeHome = [dataFolder, settings, suffix](const QList<QDate> &markedDays) {
            return comeHome(dataFolder, markedDays, settings.cycles, settings.sendRecords, QDate::currentDate(),
                            suffix);
        };
        startSync(request, holder, [holder, done](const SyncResult &result) {
            holder->deleteLater();
            done(result);
        });
    });
    return holder;
}
