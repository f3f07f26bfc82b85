#include "noticesettings.h"

#include "backup.h"
#include "datetext.h"
#include "errors.h"
#include "settings.h"

#include <algorithm>

namespace {

const QString Section = QStringLiteral("Notice Setting");

QDate readDay(const IniFile &ini, const QString &key)
{
    const QString text = ini.readString(Section, key, QString());
    try {
        return text.isEmpty() ? QDate() : parseDateText(text);
    } catch (const EConvertError &) {
        // A damaged day only means the reminder may show once more today.
        return QDate();
    }
}

QTime readTime(const IniFile &ini, const QString &key, const QTime &fallback)
{
    const QTime time = QTime::fromString(ini.readString(Section, key, QString()).trimmed(), QStringLiteral("H:mm"));
    return time.isValid() ? time : fallback;
}

} // namespace

NoticeSettings readNoticeSettings(const QString &settingPath)
{
    const IniFile ini(settingPath);
    NoticeSettings settings;
    settings.before = ini.readBool(Section, QStringLiteral("Before"), settings.before);
    settings.beforeDays = std::clamp(ini.readInteger(Section, QStringLiteral("BeforeDays"), settings.beforeDays), 0,
                                     NoticeSettings::MaxBeforeDays);
    settings.late = ini.readBool(Section, QStringLiteral("Late"), settings.late);
    settings.fertile = ini.readBool(Section, QStringLiteral("Fertile"), settings.fertile);
    settings.bodyFertile = ini.readBool(Section, QStringLiteral("BodyFertile"), settings.bodyFertile);
    settings.pms = ini.readBool(Section, QStringLiteral("Pms"), settings.pms);
    settings.bodyFertileLast = readDay(ini, QStringLiteral("BodyFertileLast"));
    settings.atLogin = ini.readBool(Section, QStringLiteral("AtLogin"), settings.atLogin);
    settings.discreet = ini.readBool(Section, QStringLiteral("Discreet"), settings.discreet);
    settings.lastNotice = readDay(ini, QStringLiteral("LastNotice"));
    settings.tempOn = ini.readBool(Section, QStringLiteral("TempOn"), settings.tempOn);
    settings.tempAt = readTime(ini, QStringLiteral("TempAt"), settings.tempAt);
    settings.pillOn = ini.readBool(Section, QStringLiteral("PillOn"), settings.pillOn);
    settings.pillAt = readTime(ini, QStringLiteral("PillAt"), settings.pillAt);
    settings.tempLast = readDay(ini, QStringLiteral("TempLast"));
    settings.pillLast = readDay(ini, QStringLiteral("PillLast"));
    return settings;
}

void writeNoticeChoices(const QString &settingPath, const NoticeSettings &settings)
{
    IniFile ini(settingPath);
    ini.writeBool(Section, QStringLiteral("Before"), settings.before);
    ini.writeInteger(Section, QStringLiteral("BeforeDays"),
                     std::clamp(settings.beforeDays, 0, NoticeSettings::MaxBeforeDays));
    ini.writeBool(Section, QStringLiteral("Late"), settings.late);
    ini.writeBool(Section, QStringLiteral("Fertile"), settings.fertile);
    ini.writeBool(Section, QStringLiteral("BodyFertile"), settings.bodyFertile);
    ini.writeBool(Section, QStringLiteral("Pms"), settings.pms);
    ini.writeBool(Section, QStringLiteral("AtLogin"), settings.atLogin);
    ini.writeBool(Section, QStringLiteral("Discreet"), settings.discreet);
    ini.writeBool(Section, QStringLiteral("TempOn"), settings.tempOn);
    ini.writeString(Section, QStringLiteral("TempAt"), settings.tempAt.toString(QStringLiteral("HH:mm")));
    ini.writeBool(Section, QStringLiteral("PillOn"), settings.pillOn);
    ini.writeString(Section, QStringLiteral("PillAt"), settings.pillAt.toString(QStringLiteral("HH:mm")));
}

void writeLastNotice(const QString &settingPath, const QDate &day)
{
    // The reminder's own bookkeeping, once a day: no backup, which would count a day without a change.
    const Backup::Bookkeeping bookkeeping;
    IniFile(settingPath).writeString(Section, QStringLiteral("LastNotice"), formatDateText(day));
}

void writeDailyLast(const QString &settingPath, const QString &key, const QDate &day)
{
    IniFile(settingPath).writeString(Section, key, formatDateText(day));
}
