#pragma once

#include <QDate>
#include <QString>
#include <QTime>

// The reminder choices of the notice dialog, section "Notice Setting" of setting.ini. A missing key
// takes the default given here.
struct NoticeSettings
{
    static constexpr int MaxBeforeDays = 7;

    bool before = true;   // Before: from BeforeDays days ahead up to the predicted first day
    int beforeDays = 2;   // BeforeDays: 0..7; a stored value outside is brought into that range
    bool late = true;     // Late: the predicted period has begun and nothing is registered since
    bool fertile = false; // Fertile: on the first likely-conception day
    bool pms = false;     // Pms: on the day before PMSが出やすい時期
    // BodyFertile: once a cycle, when her body's signs (mucus, ovulation tests, temperature) say the
    // fertile phase has begun; BodyFertileLast: the day that reminder was last shown.
    bool bodyFertile = false;
    QDate bodyFertileLast;
    bool atLogin = false; // AtLogin: the login entry runs the reminder
    QDate lastNotice;     // LastNotice: the day a reminder was last shown (invalid: never)
    // Discreet: notifications and calendar titles without a word about periods.
    bool discreet = false;
    // The reminders at a time of day (dailytimer.h): TempOn/TempAt, PillOn/PillAt, "hh:mm"; a stored time
    // that is not one keeps the default.
    bool tempOn = false;
    QTime tempAt = QTime(6, 30);
    bool pillOn = false;
    QTime pillAt = QTime(21, 0);
    // TempLast/PillLast: the day each was last shown, so that a made-up run after a start shows it once.
    QDate tempLast;
    QDate pillLast;
};

NoticeSettings readNoticeSettings(const QString &settingPath);

// Writes every choice except LastNotice, BodyFertileLast, TempLast and PillLast, which only the reminders themselves
// write.
void writeNoticeChoices(const QString &settingPath, const NoticeSettings &settings);

void writeLastNotice(const QString &settingPath, const QDate &day);

// TempLast, PillLast or BodyFertileLast (the key).
void writeDailyLast(const QString &settingPath, const QString &key, const QDate &day);
