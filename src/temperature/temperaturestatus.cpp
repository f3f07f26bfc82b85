#include "temperaturestatus.h"

#include "datetext.h"
#include "errors.h"
#include "jsondate.h"
#include "linefile.h"
#include "periodfile.h"
#include "temperatureshift.h"

#include <QJsonObject>

namespace {

QJsonValue degrees(std::optional<int> centiDegrees)
{
    return centiDegrees ? QJsonValue(*centiDegrees / 100.0) : QJsonValue();
}

} // namespace

QJsonValue temperatureStatusJson(const QString &datePath, const QString &tempPath, const QDate &today)
{
    const TemperatureFileContent content = readTemperatureFile(tempPath);
    if (content.readings.isEmpty()) {
        return QJsonValue();
    }
    return temperatureStatusOf(
        temperatureCycles(readFirstDaysAscending(datePath, UnreadableLine::Skip), content.readings, today));
}

QJsonObject temperatureStatusOf(const QList<CycleTemperature> &cycles)
{
    QJsonObject status{{QStringLiteral("first_higher"), QJsonValue()}, {QStringLiteral("confirmed"), false},
                       {QStringLiteral("ovulation"), QJsonValue()},    {QStringLiteral("cover_line"), QJsonValue()},
                       {QStringLiteral("high_days"), QJsonValue()},    {QStringLiteral("low_mean"), QJsonValue()},
                       {QStringLiteral("high_mean"), QJsonValue()},    {QStringLiteral("next_start"), QJsonValue()}};
    if (cycles.isEmpty() || cycles.back().closed || !cycles.back().shift.confirmed) {
        return status;
    }
    const CycleTemperature &current = cycles.back();
    status[QStringLiteral("first_higher")] = jsonDate(*current.shift.firstHigher);
    status[QStringLiteral("confirmed")] = true;
    status[QStringLiteral("ovulation")] = jsonDate(current.ovulation);
    status[QStringLiteral("cover_line")] = degrees(current.shift.coverLine);
    status[QStringLiteral("high_days")] = current.highDays;
    status[QStringLiteral("low_mean")] = degrees(current.lowMean);
    status[QStringLiteral("high_mean")] = degrees(current.highMean);
    status[QStringLiteral("next_start")] = jsonDate(temperatureNextStart(cycles).value_or(QDate()));
    return status;
}
