// The JSON exports of three phone trackers. Each is small (a record per day at most), so the document
// is parsed whole; a record is numbered from 1 in the order of its list.
#include "readers.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <map>

namespace {

ImportedRecords named(const QString &format)
{
    ImportedRecords records;
    records.format = format;
    records.positionUnit = QStringLiteral("件目");
    return records;
}

QString noDateReason(const QJsonValue &value)
{
    return value.isString() ? QStringLiteral("日付 \"%1\" が読めません").arg(value.toString().left(40))
                            : QStringLiteral("日付がありません");
}

} // namespace

ImportedRecords readClueJson(const QJsonDocument &document)
{
    if (!document.isArray()) {
        throw EImportError(QStringLiteral("Clue の書き出しは配列ではありません"));
    }
    ImportedRecords records = named(QStringLiteral("Clue (JSON)"));
    QList<QDate> bleeding;
    const QJsonArray entries = document.array();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QJsonObject entry = entries[i].toObject();
        if (entry.value(QLatin1String("type")).toString() != QLatin1String("period")) {
            continue;
        }
        const QDate day = parseImportDate(entry.value(QLatin1String("date")).toString(), true);
        if (!day.isValid()) {
            records.skip(i + 1, noDateReason(entry.value(QLatin1String("date"))));
            continue;
        }
        bleeding.append(day);
    }
    records.firstDays = firstDaysFromBleeding(bleeding);
    return records;
}

ImportedRecords readFloJson(const QJsonDocument &document)
{
    const QJsonValue cycles =
        document.object().value(QLatin1String("operationalData")).toObject().value(QLatin1String("cycles"));
    if (!cycles.isArray()) {
        throw EImportError(QStringLiteral("Flo の書き出しに operationalData.cycles がありません"));
    }
    ImportedRecords records = named(QStringLiteral("Flo (JSON)"));
    const QJsonArray list = cycles.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonValue start = list[i].toObject().value(QLatin1String("period_start_date"));
        const QDate day = parseImportDate(start.toString(), true);
        if (!day.isValid()) {
            records.skip(i + 1, noDateReason(start));
            continue;
        }
        records.firstDays.append(day);
    }
    return records;
}

ImportedRecords readMensinatorJson(const QJsonDocument &document)
{
    const QJsonValue periods = document.object().value(QLatin1String("periods"));
    if (!periods.isArray()) {
        throw EImportError(QStringLiteral("Mensinator の書き出しに periods がありません"));
    }
    ImportedRecords records = named(QStringLiteral("Mensinator (JSON)"));
    std::map<QString, QDate> earliest; // period_id → its earliest day
    const QJsonArray list = periods.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QJsonObject entry = list[i].toObject();
        const QDate day = parseImportDate(entry.value(QLatin1String("date")).toString(), true);
        const QJsonValue id = entry.value(QLatin1String("period_id"));
        if (!day.isValid()) {
            records.skip(i + 1, noDateReason(entry.value(QLatin1String("date"))));
            continue;
        }
        const QString key = id.isDouble() ? QString::number(id.toDouble(), 'g', 17) : id.toString();
        if (key.isEmpty()) {
            records.skip(i + 1, QStringLiteral("period_id がありません"));
            continue;
        }
        QDate &first = earliest[key];
        if (!first.isValid() || day < first) {
            first = day;
        }
    }
    for (const auto &[id, day] : earliest) {
        records.firstDays.append(day);
    }
    std::sort(records.firstDays.begin(), records.firstDays.end());
    return records;
}
