#include "syncplan.h"

#include "backup.h"
#include "datafiles.h"
#include "errors.h"
#include "icsfile.h"
#include "importfile.h"
#include "noticesettings.h"
#include "statusreport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QSysInfo>

namespace {

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
    const QString settingPath = dataFilePath(dataFolder, DataKind::Settings);
    const StatusInput input = readStatusInput(dataFilePath(dataFolder, DataKind::FirstDays), settingPath);
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

ComeHomeResult comeHome(const QString &dataFolder, const QList<QDate> &markedDays, int cycles, bool sendRecords,
                        const QDate &today, const QString &uidSuffix)
{
    ComeHomeResult result;
    try {
        ImportedRecords records;
        std::copy_if(markedDays.cbegin(), markedDays.cend(), std::back_inserter(records.firstDays),
                     [&today](const QDate &day) { return day.isValid() && day <= today; });
        // The merge keeps the ten-day rule against her first days and among the marked ones.
        if (mergeImport(dataFolder, records, false).firstDaysNew > 0) {
            Backup::makeTimedBackup(dataFolder, QDateTime::currentDateTime(), Backup::BackupPurpose::Import);
            const MergeCounts counts = mergeImport(dataFolder, records, true);
            QStringList days;
            for (const QDate &day : counts.firstDaysAdded) {
                days.append(QStringLiteral("%1月%2日").arg(day.month()).arg(day.day()));
            }
            result.message = QStringLiteral("カレンダーから生理開始日を%1件取り込みました: %2")
                                 .arg(counts.firstDaysNew)
                                 .arg(days.join(QStringLiteral("、")));
        }
        result.publish = publishedEvents(dataFolder, cycles, sendRecords, today, uidSuffix);
    } catch (const AppError &e) {
        result.failure = e.message();
    }
    return result;
}
