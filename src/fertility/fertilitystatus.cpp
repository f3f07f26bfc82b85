#include "fertilitystatus.h"

#include "jsondate.h"
#include "periodfile.h"
#include "temperaturefile.h"
#include "temperaturestatus.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

QJsonValue phaseName(BodyPhase phase)
{
    switch (phase) {
    case BodyPhase::PreFertile:
        return QStringLiteral("pre");
    case BodyPhase::Fertile:
        return QStringLiteral("fertile");
    case BodyPhase::Post:
        return QStringLiteral("post");
    case BodyPhase::Unknown:
        break;
    }
    return QJsonValue();
}

} // namespace

const FertilityResult *cycleOfDay(const QList<FertilityResult> &cycles, const QDate &today)
{
    for (auto it = cycles.crbegin(); it != cycles.crend(); ++it) {
        if (it->start <= today) {
            return today <= it->end ? &*it : nullptr;
        }
    }
    return nullptr;
}

QJsonValue fertilityJson(const QList<FertilityResult> &cycles, const QDate &today)
{
    QJsonObject status{{QStringLiteral("phase"), QJsonValue()},         {QStringLiteral("fertile_from"), QJsonValue()},
                       {QStringLiteral("fertile_until"), QJsonValue()}, {QStringLiteral("mucus_peak"), QJsonValue()},
                       {QStringLiteral("lh_positive"), QJsonValue()},   {QStringLiteral("signs"), QJsonValue()}};
    const FertilityResult *cycle = cycleOfDay(cycles, today);
    if (!cycle) {
        return QJsonValue();
    }
    if (!cycle->speaks) {
        return status;
    }
    status[QStringLiteral("phase")] = phaseName(cycle->phaseOn(today));
    status[QStringLiteral("fertile_from")] = jsonDate(cycle->fertileFrom);
    status[QStringLiteral("fertile_until")] = jsonDate(cycle->fertileUntil);
    status[QStringLiteral("mucus_peak")] = jsonDate(cycle->mucusPeak);
    status[QStringLiteral("lh_positive")] = jsonDate(cycle->lhPositive);
    status[QStringLiteral("signs")] = QJsonArray::fromStringList(cycle->signsOn(today));
    return status;
}

QList<FertilityResult> readFertileCycles(const QString &datePath, const QString &tempPath,
                                         const QList<DayRecord> &records, const QDate &today)
{
    const QList<CycleTemperature> cycles = temperatureCycles(readFirstDaysAscending(datePath, UnreadableLine::Skip),
                                                             readTemperatureFile(tempPath).readings, today);
    return fertileCycles(cycles, records, today);
}

BodyStatus bodyStatusJson(const QString &datePath, const QString &tempPath, const QList<DayRecord> &records,
                          const QDate &today)
{
    const QList<TemperatureReading> readings = readTemperatureFile(tempPath).readings;
    const QList<CycleTemperature> cycles =
        temperatureCycles(readFirstDaysAscending(datePath, UnreadableLine::Skip), readings, today);
    return {readings.isEmpty() ? QJsonValue() : QJsonValue(temperatureStatusOf(cycles)),
            fertilityJson(fertileCycles(cycles, records, today), today)};
}

QJsonValue fertilityStatusJson(const QString &datePath, const QString &tempPath, const QList<DayRecord> &records,
                               const QDate &today)
{
    return fertilityJson(readFertileCycles(datePath, tempPath, records, today), today);
}
