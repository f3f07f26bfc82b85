#include "temperaturefile.h"

#include "datetext.h"
#include "daylinefile.h"
#include "errors.h"
#include "linefile.h"
#include "typednumber.h"

#include <QHash>
#include <QSet>

#include <cstdlib>

namespace {

std::optional<TemperatureReading> parseLine(const QString &line)
{
    const QStringList fields = line.split(u',');
    if (fields.size() < 2 || fields.size() > 3) {
        return std::nullopt;
    }
    TemperatureReading reading;
    try {
        reading.date = parseDateText(fields[0]);
    } catch (const EConvertError &) {
        return std::nullopt;
    }
    const std::optional<int> value = parseTemperatureText(fields[1]);
    if (!value) {
        return std::nullopt;
    }
    reading.centiDegrees = *value;
    if (fields.size() == 3) {
        const QString flag = fields[2].trimmed();
        if (flag.compare(QLatin1String("x"), Qt::CaseInsensitive) != 0) {
            return std::nullopt;
        }
        reading.excluded = true;
    }
    return reading;
}

std::optional<QString> formatLine(const TemperatureReading &reading)
{
    return formatTemperatureLine(reading);
}

const DayLineFile<TemperatureReading> &temperatureLines()
{
    static const DayLineFile<TemperatureReading> file(parseLine, formatLine, 20);
    return file;
}

} // namespace

TemperatureFileContent parseTemperatureFile(const QByteArray &bytes)
{
    return temperatureLines().content<TemperatureFileContent>(bytes);
}

TemperatureFileContent readTemperatureFile(const QString &path)
{
    return parseTemperatureFile(LineFile::readBytesIfExists(path));
}

QByteArray formatTemperatureFile(const TemperatureFileContent &content)
{
    return temperatureLines().format(content.readings, encodeKeptDayLines(content.unreadableLines));
}

QString formatCentiDegrees(int centiDegrees)
{
    const int magnitude = std::abs(centiDegrees);
    const QString sign = centiDegrees < 0 ? QStringLiteral("-") : QString();
    return sign + QString::number(magnitude / 100) + u'.' + QString::number(magnitude % 100).rightJustified(2, u'0');
}

QString formatTemperatureLine(const TemperatureReading &reading)
{
    QString line = formatDateText(reading.date) + u',' + formatCentiDegrees(reading.centiDegrees);
    if (reading.excluded) {
        line += QStringLiteral(",x");
    }
    return line;
}

void storeTemperatureReading(const QString &path, const QDate &day, const std::optional<TemperatureReading> &reading)
{
    temperatureLines().store(path, day, reading);
}

void deleteTemperatureReadings(const QString &path, const QList<QDate> &days)
{
    temperatureLines().remove(path, days);
}

TemperatureMerge mergeTemperatureReadings(const QString &path, const QList<TemperatureReading> &incoming, bool write)
{
    const auto lock = write ? LineFile::lockForUpdate(path) : nullptr;
    auto file = temperatureLines().read(path);
    QHash<QDate, TemperatureReading> byDay;
    for (const TemperatureReading &r : file.records) {
        byDay.insert(r.date, r);
    }
    TemperatureMerge merge;
    // The days this merge added or listed as differing: sets, so that the merge stays linear.
    QSet<QDate> addedDays;
    QSet<QDate> differingDays;
    for (const TemperatureReading &r : incoming) {
        if (!r.date.isValid() || r.centiDegrees < MinCentiDegrees || r.centiDegrees > MaxCentiDegrees) {
            continue;
        }
        const auto found = byDay.constFind(r.date);
        if (found == byDay.constEnd()) {
            byDay.insert(r.date, r);
            addedDays.insert(r.date);
            merge.added.append(r);
        } else if ((found->centiDegrees != r.centiDegrees || found->excluded != r.excluded) &&
                   !addedDays.contains(r.date) && !differingDays.contains(r.date)) {
            differingDays.insert(r.date);
            merge.differing.append(r.date);
        }
    }
    if (write && !merge.added.isEmpty()) {
        file.records.append(merge.added);
        temperatureLines().write(path, file);
    }
    return merge;
}

std::optional<int> parseTemperatureText(const QString &text)
{
    const std::optional<TypedDecimal> typed = splitTypedDecimal(text);
    if (!typed) {
        return std::nullopt;
    }
    const QString &digits = typed->digits;
    const qsizetype point = typed->point;
    int value = 0;
    if (point < 0) {
        // "3652" is how a four-digit thermometer reading is typed quickly; "37" a whole degree.
        if (digits.size() == 4) {
            value = digits.toInt();
        } else if (digits.size() == 2) {
            value = digits.toInt() * 100;
        } else {
            return std::nullopt;
        }
    } else {
        const qsizetype decimals = digits.size() - point;
        if (point != 2 || decimals < 1 || decimals > 2) {
            return std::nullopt;
        }
        value = digits.left(2).toInt() * 100 + digits.mid(2).leftJustified(2, u'0').toInt();
    }
    if (value < MinCentiDegrees || value > MaxCentiDegrees) {
        return std::nullopt;
    }
    return value;
}
