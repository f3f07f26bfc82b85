#include "syncplan.h"

#include "backup.h"
#include "errors.h"
#include "icsfile.h"
#include "importfile.h"
#include "noticesettings.h"
#include "periodfile.h"
#include "statusreport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>

namespace {

// A day this close to a first day belongs to that first day's period.
constexpr int SamePeriodDays = 10;
constexpr int RecordMonths = 12;

QString uidOf(const QString &name, const QString &uidSuffix)
{
    return name + uidSuffix;
}

} // namespace

QString calendarUidSuffix(const QString &dataFolder)
{
    const QByteArray place = QSysInfo::machineUniqueId() + '\n' + QDir(dataFolder).canonicalPath().toUtf8();
    const QByteArray id = QCryptographicHash::hash(place, QCryptographicHash::Sha256).toHex().left(16);
    return u'-' + QString::fromLatin1(id) + QStringLiteral("@" EVELUNA_APP_ID);
}

QList<PublishedEvent> publishedEvents(const QString &dataFolder, int cycles, bool sendRecords, const QDate &today,
                                      const QString &uidSuffix)
{
    const QDir folder(dataFolder);
    const QString settingPath = folder.filePath(QStringLiteral("setting.ini"));
    const StatusInput input = readStatusInput(folder.filePath(QStringLiteral("date.dat")), settingPath);
    if (input.firstDays.isEmpty()) {
        return {};
    }
    const IcsTitles titles = readNoticeSettings(settingPath).discreet ? IcsTitles::Discreet : IcsTitles::Plain;
    const QDate newest = input.firstDays.last();
    const int cycleLength = computeStatus(input, today).cycleLength.value_or(28);
    QList<PublishedEvent> events;
    for (const CalendarEvent &event : comingCycleEvents(newest, cycleLength, newest, cycles)) {
        // The period of the newest first day is registered, not predicted.
        if (event.category == DayCategory::ThisPeriod && event.first <= newest) {
            continue;
        }
        events.append({uidOf(event.uid.section(u'@', 0, 0), uidSuffix), event.first, event.last,
                       icsEventTitle(event.category, titles)});
    }
    if (sendRecords) {
        const QString title = titles == IcsTitles::Discreet ? QStringLiteral("予定") : QStringLiteral("生理 (記録)");
        for (const QDate &day : input.firstDays) {
            if (day > today.addMonths(-RecordMonths) && day <= today) {
                events.append({uidOf(day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("-record"), uidSuffix),
                               day, day, title});
            }
        }
    }
    return events;
}

QList<QDate> newFirstDays(const QList<QDate> &registeredAscending, const QList<QDate> &markedDays, const QDate &today)
{
    QList<QDate> known = registeredAscending;
    QList<QDate> fresh;
    for (const QDate &day : markedDays) {
        const bool samePeriod = std::any_of(known.cbegin(), known.cend(), [&day](const QDate &first) {
            return std::abs(first.daysTo(day)) <= SamePeriodDays;
        });
        if (day.isValid() && day <= today && !samePeriod) {
            fresh.append(day);
            known.append(day);
        }
    }
    std::sort(fresh.begin(), fresh.end());
    return fresh;
}

ComeHomeResult comeHome(const QString &dataFolder, const QList<QDate> &markedDays, int cycles, bool sendRecords,
                        const QDate &today, const QString &uidSuffix)
{
    ComeHomeResult result;
    try {
        const QList<QDate> fresh = newFirstDays(
            readFirstDaysAscending(QDir(dataFolder).filePath(QStringLiteral("date.dat"))), markedDays, today);
        if (!fresh.isEmpty()) {
            Backup::makeTimedBackup(dataFolder, QDateTime::currentDateTime(), Backup::BackupPurpose::Import);
            ImportedRecords records;
            records.firstDays = fresh;
            mergeImport(dataFolder, records, true);
            QStringList days;
            for (const QDate &day : fresh) {
                days.append(QStringLiteral("%1月%2日").arg(day.month()).arg(day.day()));
            }
            result.message = QStringLiteral("カレンダーから生理開始日を%1件取り込みました: %2")
                                 .arg(fresh.size())
                                 .arg(days.join(QStringLiteral("、")));
        }
        result.publish = publishedEvents(dataFolder, cycles, sendRecords, today, uidSuffix);
    } catch (const AppError &e) {
        result.failure = e.message();
    }
    return result;
}
