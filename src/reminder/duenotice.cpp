#include "duenotice.h"

#include "cyclestats.h"
#include "cyclewindows.h"
#include "datetext.h"
#include "errors.h"
#include "fertilitystatus.h"
#include "linefile.h"
#include "periodfile.h"
#include "periodobservations.h"
#include "settings.h"
#include "statusreport.h"
#include "temperatureshift.h"
#include "temperaturestatus.h"

#include <algorithm>

namespace {

constexpr int OwnLengthMode = 4;

QDate dateOf(qint64 julianDay)
{
    return QDate::fromJulianDay(julianDay);
}

// The body's fertile reminder: the cycle holding today is in its fertile phase and none was shown in it.
std::optional<DueNotice> bodyFertileNotice(const NoticeSettings &settings, const QString &datePath,
                                           const QString &tempPath, const QString &dayPath, const QDate &today)
{
    const QList<FertilityResult> cycles = readFertileCycles(datePath, tempPath, readDayFile(dayPath).records, today);
    const FertilityResult *cycle = cycleOfDay(cycles, today);
    if (!cycle || cycle->phaseOn(today) != BodyPhase::Fertile ||
        (settings.bodyFertileLast.isValid() && settings.bodyFertileLast >= cycle->start)) {
        return std::nullopt;
    }
    DueNotice due;
    due.kind = NoticeKind::BodyFertile;
    due.likelyFirst = cycle->fertileFrom;
    due.discreet = settings.discreet;
    due.ovulationSoon = cycle->mostFertile(today);
    return due;
}

// The PMS reminder on the day before the forecast's first day.
std::optional<DueNotice> pmsNotice(const NoticeSettings &settings, const std::optional<PmsForecast> &forecast,
                                   const QDate &today)
{
    if (!forecast || forecast->first.addDays(-1) != today) {
        return std::nullopt;
    }
    DueNotice due;
    due.kind = NoticeKind::Pms;
    due.likelyFirst = forecast->first;
    due.likelyLast = forecast->last;
    due.symptoms = forecast->symptoms;
    due.discreet = settings.discreet;
    return due;
}

} // namespace

std::optional<DueNotice> dueNotice(const NoticeSettings &settings, const QDate &newestFirstDay, int cycleLength,
                                   const QDate &today, const std::optional<QDate> &bodyNextStart)
{
    if (!newestFirstDay.isValid() || !today.isValid() || settings.lastNotice == today) {
        return std::nullopt;
    }
    // The same windows that colour the grid with no cycles ahead.
    const CycleWindowDays windows = computeCycleWindows(newestFirstDay.toJulianDay(), cycleLength, 0);
    const bool fromBody = bodyNextStart && bodyNextStart->isValid();
    const qint64 next = fromBody ? bodyNextStart->toJulianDay() : windows[DayCategory::NextPeriod].first;
    const qint64 likely = windows[DayCategory::LikelyDays].first;
    const qint64 day = today.toJulianDay();
    const QDate periodStart = dateOf(next);
    if (!periodStart.isValid()) {
        return std::nullopt;
    }

    const QDate ruleStart = dateOf(windows[DayCategory::NextPeriod].first);
    if (settings.before && day <= next && next - day <= settings.beforeDays) {
        return DueNotice{NoticeKind::Before, periodStart, int(next - day), {},       {}, {},
                         settings.discreet,  fromBody,    false,           ruleStart};
    }
    // Registering the period moves the newest first day onto or past the predicted one; a length of
    // zero or less predicts nothing after the newest day.
    if (settings.late && day >= next && next > newestFirstDay.toJulianDay()) {
        return DueNotice{NoticeKind::Late, periodStart, 0, {}, {}, {}, settings.discreet, fromBody, false, ruleStart};
    }
    if (settings.fertile && day == likely) {
        return DueNotice{NoticeKind::Fertile,
                         dateOf(windows[DayCategory::NextPeriod].first),
                         0,
                         dateOf(likely),
                         dateOf(windows[DayCategory::LikelyDays].last),
                         {},
                         settings.discreet,
                         false,
                         false,
                         ruleStart};
    }
    return std::nullopt;
}

int storedCycleLength(const QStringList &dateLines, const QString &settingPath)
{
    const IniFile ini(settingPath);
    int mode = ini.readInteger(QStringLiteral("Day Setting"), QStringLiteral("Daymode"), OwnLengthMode);
    if (dateLines.size() < 2) {
        mode = OwnLengthMode;
    }
    const std::optional<QString> length = CycleLengthOfMode(dateLines, mode, readExcludedCycles(settingPath));
    return length ? parseIntegerText(*length)
                  : ownCycleLengthFrom(
                        ini.readString(QStringLiteral("Day Setting"), QStringLiteral("Daybetween"), QString()));
}

std::optional<DueNotice> noticeDueToday(const QString &datePath, const QString &settingPath, const QDate &today,
                                        const QString &tempPath, const QString &dayPath)
{
    const NoticeSettings settings = readNoticeSettings(settingPath);
    if (!settings.before && !settings.late && !settings.fertile && !settings.bodyFertile && !settings.pms) {
        return std::nullopt;
    }
    const QStringList lines = LineFile::readIfExists(datePath).lines();
    if (lines.isEmpty()) {
        return std::nullopt;
    }
    std::optional<QDate> body;
    if (!tempPath.isEmpty() && (settings.before || settings.late)) {
        try {
            body = temperatureNextStart(temperatureCycles(readFirstDaysAscending(datePath, UnreadableLine::Skip),
                                                          readTemperatureFile(tempPath).readings, today));
        } catch (const EFileError &) {
        }
    }
    std::optional<DueNotice> due =
        dueNotice(settings, parseDateText(lines.front()), storedCycleLength(lines, settingPath), today, body);
    if (due && due->kind != NoticeKind::Fertile) {
        due->range = nextStartRange(readFirstDaysAscending(datePath), readExcludedCycles(settingPath));
    }
    if (!due && settings.bodyFertile && !dayPath.isEmpty() && !tempPath.isEmpty() && settings.lastNotice != today) {
        try {
            due = bodyFertileNotice(settings, datePath, tempPath, dayPath, today);
        } catch (const EFileError &) {
            // A record file that cannot be read now: the day dialog and the history report it.
        }
    }
    if (!due && settings.pms && !dayPath.isEmpty() && settings.lastNotice != today) {
        try {
            due = pmsNotice(settings, pmsForecastOfFiles(datePath, settingPath, dayPath, tempPath, today), today);
        } catch (const EFileError &) {
        }
    }
    return due;
}

QString fullDateText(const QDate &date)
{
    static const QString weekdays = QStringLiteral("月火水木金土日");
    return QStringLiteral("%1年%2月%3日（%4）")
        .arg(date.year())
        .arg(date.month())
        .arg(date.day())
        .arg(weekdays.at(date.dayOfWeek() - 1));
}

NoticeText noticeText(const DueNotice &notice)
{
    const QString start = fullDateText(notice.periodStart);
    if (notice.discreet) {
        // Nothing a passer-by could read as a period: no word of it, no registration button.
        const bool fertile = notice.kind == NoticeKind::Fertile || notice.kind == NoticeKind::BodyFertile ||
                             notice.kind == NoticeKind::Pms;
        return {QStringLiteral("Easy VELUNA: 予定があります"), fertile ? fullDateText(notice.likelyFirst) : start,
                false};
    }
    // The same sentence as the main window and the status line.
    const QString next =
        nextPeriodText(notice.periodStart, notice.fromBody, notice.ruleStart, notice.range) + QStringLiteral("。");
    switch (notice.kind) {
    case NoticeKind::Before:
        return {notice.daysLeft == 0 ? QStringLiteral("生理予定日は今日です")
                                     : QStringLiteral("生理予定日まであと%1日").arg(notice.daysLeft),
                next, false};
    case NoticeKind::Late:
        return {QStringLiteral("生理予定日を過ぎています"),
                next + QStringLiteral("始まっていたら生理登録をしてください。"), true};
    case NoticeKind::Fertile:
        return {QStringLiteral("今日から妊娠しやすい日です"),
                QStringLiteral("妊娠しやすい日は%1から%2までです。")
                    .arg(fullDateText(notice.likelyFirst), fullDateText(notice.likelyLast)),
                false};
    case NoticeKind::BodyFertile:
        return {QStringLiteral("妊娠しやすい時期が始まりました (からだのサイン)"),
                QStringLiteral("おりもの・排卵検査薬・基礎体温の記録から、%1から妊娠しやすい時期です。")
                        .arg(fullDateText(notice.likelyFirst)) +
                    (notice.ovulationSoon ? ovulationExpectedText() + QStringLiteral("です。") : QString()),
                false};
    case NoticeKind::Pms: {
        QStringList symptoms;
        for (const QString &token : notice.symptoms) {
            symptoms << symptomCaption(token);
        }
        return {QStringLiteral("明日からPMSが出やすい時期です"),
                QStringLiteral("これまでの記録では、%1から%2まで症状が出やすい時期です。")
                        .arg(fullDateText(notice.likelyFirst), fullDateText(notice.likelyLast)) +
                    (symptoms.isEmpty()
                         ? QString()
                         : QStringLiteral("多かった症状: %1。").arg(symptoms.join(QStringLiteral("、")))),
                false};
    }
    }
    return {};
}
