#include "dailynotice.h"

#include "datalock.h"
#include "dayrecordfile.h"
#include "temperaturefile.h"

#include <algorithm>

bool dailyReminderAnswered(DailyReminder reminder, const QString &tempPath, const QString &dayPath, const QDate &today)
{
    if (reminder == DailyReminder::Temperature) {
        const QList<TemperatureReading> readings = readTemperatureFile(tempPath).readings;
        return std::any_of(readings.cbegin(), readings.cend(),
                           [&today](const TemperatureReading &reading) { return reading.date == today; });
    }
    const QList<DayRecord> records = readDayFile(dayPath).records;
    return std::any_of(records.cbegin(), records.cend(), [&today](const DayRecord &record) {
        return record.date == today && record.pill == PillState::Taken;
    });
}

NoticeText dailyNoticeText(DailyReminder reminder, bool discreet)
{
    if (discreet) {
        return {QStringLiteral("Easy VELUNA: お知らせ"), QString(), false};
    }
    if (reminder == DailyReminder::Temperature) {
        return {QStringLiteral("体温を測りましょう"), QStringLiteral("起き上がる前に、毎朝同じころに測ります。"),
                false};
    }
    return {QStringLiteral("ピルの時間です"), QString(), false};
}

void recordPillTaken(const QString &dayPath, const QDate &day)
{
    // Held from reading the day's record to storing it, so that a save of the day dialog meanwhile is kept.
    const DataFolderLock lock(dayPath);
    if (lock.busy()) {
        throw EFileError(DataFolderLock::busyText());
    }
    DayRecord record;
    for (const DayRecord &stored : readDayFile(dayPath).records) {
        if (stored.date == day) {
            record = stored;
        }
    }
    record.date = day;
    record.pill = PillState::Taken;
    storeDayRecord(dayPath, day, record);
}
