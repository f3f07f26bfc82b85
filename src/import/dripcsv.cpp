#include "csvtext.h"
#include "readers.h"

#include <QHash>

namespace {

bool isTrue(const QString &text)
{
    return text.trimmed().compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

ImportedRecords readDripCsv(const QString &text)
{
    ImportedRecords records;
    records.format = QStringLiteral("drip (CSV)");
    records.positionUnit = QStringLiteral("行目");
    QHash<QString, qsizetype> column;
    QList<QDate> bleeding;
    QList<QDate> marked;
    forEachCsvRow(text, [&](const QStringList &fields, qint64 line) {
        if (column.isEmpty()) {
            for (qsizetype i = 0; i < fields.size(); ++i) {
                column.insert(fields[i].trimmed(), i);
            }
            if (!column.contains(QStringLiteral("date"))) {
                throw EImportError(QStringLiteral("drip の CSV に date の列がありません"));
            }
            return;
        }
        const auto value = [&](const char *name) {
            const qsizetype i = column.value(QLatin1String(name), -1);
            return i >= 0 && i < fields.size() ? fields[i] : QString();
        };
        const QDate day = parseImportDate(value("date"));
        if (!day.isValid()) {
            records.skip(line, QStringLiteral("日付 \"%1\" が読めません").arg(value("date").left(40)));
            return;
        }
        if (isTrue(value("isCycleStart"))) {
            marked.append(day);
        }
        // 0 is spotting, 1 to 3 light to heavy bleeding; an excluded value does not count for the cycle.
        const QString flow = value("bleeding.value").trimmed();
        if (!flow.isEmpty() && flow != QStringLiteral("0") && !isTrue(value("bleeding.exclude"))) {
            bleeding.append(day);
        }
        const QString temperature = value("temperature.value").trimmed();
        if (!temperature.isEmpty()) {
            const std::optional<int> centi = centiDegreesFrom(temperature, false);
            if (!centi || *centi < MinCentiDegrees || *centi > MaxCentiDegrees) {
                records.skip(line, temperatureRangeReason(temperature.left(20)));
            } else {
                records.readings.append({day, *centi, isTrue(value("temperature.exclude"))});
            }
        }
        const QString note = value("note.value");
        if (!note.trimmed().isEmpty()) {
            records.memos.append({day, note});
        }
    });
    if (column.isEmpty()) {
        throw EImportError(QStringLiteral("CSV に見出しの行がありません"));
    }
    records.firstDays = firstDaysWithMarks(bleeding, marked);
    return records;
}
