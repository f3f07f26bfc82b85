#include "noticesettings.h"

#include "datetext.h"
#include "errors.h"
#include "settings.h"

#include <algorithm>

namespace {

const QString Section = QStringLiteral("Notice Setting");

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
    settings.atLogin = ini.readBool(Section, QStringLiteral("AtLogin"), settings.atLogin);
    settings.discreet = ini.readBool(Section, QStringLiteral("Discreet"), settings.discreet);
    const QString last = ini.readString(Section, QStringLiteral("LastNotice"), QString());
    try {
        settings.lastNotice = last.isEmpty() ? QDate() : parseDateText(last);
    } catch (const EConvertError &) {
        // A damaged day only means the reminder may show once more today.
        settings.lastNotice = QDate();
    }
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
    ini.writeBool(Section, QStringLiteral("AtLogin"), settings.atLogin);
    ini.writeBool(Section, QStringLiteral("Discreet"), settings.discreet);
}

void writeLastNotice(const QString &settingPath, const QDate &day)
{
    IniFile(settingPath).writeString(Section, QStringLiteral("LastNotice"), formatDateText(day));
}
