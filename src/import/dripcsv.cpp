#include "csvtext.h"
#include "readers.h"

#include <QHash>

#include <algorithm>

namespace {

bool isTrue(const QString &text)
{
    return text.trimmed().compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}

// drip's pain and mood columns that name a symptom of the day record.
struct SymptomColumn
{
    const char *column;
    const char *token;
};
constexpr SymptomColumn SymptomColumns[] = {
    {"pain.cramps", "cramps"},     {"pain.backache", "backache"}, {"pain.headache", "headache"},
    {"pain.migraine", "headache"}, {"pain.nausea", "nausea"},     {"pain.tenderBreasts", "breasts"},
    {"mood.sad", "low"},           {"mood.anxious", "anxious"},   {"mood.fatigue", "fatigue"},
    {"mood.angry", "irritable"},
};

// The columns read into fields; every other column with a value goes to the day's memo.
constexpr const char *ReadColumns[] = {
    "date",
    "isCycleStart",
    "bleeding.value",
    "bleeding.exclude",
    "temperature.value",
    "temperature.exclude",
    "note.value",
    "mucus.value",
    "mucus.exclude",
    "sex.partner",
    "sex.condom",
    "sex.pill",
    "sex.iud",
    "sex.patch",
    "sex.ring",
    "sex.implant",
    "sex.diaphragm",
    "sex.none",
    "temperature.time",
    "temperature.note",
    "bleeding.excludeFromCycle",
};

// A value that says nothing was recorded.
bool isNothing(const QString &value)
{
    const QString v = value.trimmed();
    return v.isEmpty() || v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0");
}

} // namespace

namespace {

// One row's bleeding intensity, mucus, symptoms and sex as a day record.
template<typename Value> DayRecord observationsOf(const QDate &day, const Value &value, qint64)
{
    DayRecord record;
    record.date = day;
    // bleeding.value 0..3: spotting, light, medium, heavy.
    const QString flow = value("bleeding.value").trimmed();
    if (flow.size() == 1 && flow[0] >= u'0' && flow[0] <= u'3') {
        record.flow = Flow(flow[0].unicode() - u'0');
    }
    // mucus.value is drip's own result of the five categories, 0 (t) to 4 (S+).
    const QString mucus = value("mucus.value").trimmed();
    if (mucus.size() == 1 && mucus[0] >= u'0' && mucus[0] <= u'4' && !isTrue(value("mucus.exclude"))) {
        record.mucus = mucus[0].unicode() - u'0';
    }
    for (const char *token : SymptomTokens) {
        for (const SymptomColumn &c : SymptomColumns) {
            if (QLatin1String(c.token) == QLatin1String(token) && isTrue(value(c.column)) &&
                !record.symptoms.contains(QLatin1String(token))) {
                record.symptoms.append(QLatin1String(token));
            }
        }
    }
    if (isTrue(value("sex.partner"))) {
        const bool contraception = std::any_of(std::begin(ReadColumns), std::end(ReadColumns), [&](const char *c) {
            const QLatin1String name(c);
            return name.startsWith(QLatin1String("sex.")) && name != QLatin1String("sex.partner") &&
                   name != QLatin1String("sex.none") && isTrue(value(c));
        });
        record.sex = contraception ? SexState::Protected : SexState::Unprotected;
    }
    return record;
}

} // namespace

ImportedRecords readDripCsv(const QString &text)
{
    ImportedRecords records;
    records.format = QStringLiteral("drip (CSV)");
    records.positionUnit = QStringLiteral("行目");
    QHash<QString, qsizetype> column;
    QStringList names; // the header's columns in their order
    QList<QDate> bleeding;
    QList<QDate> marked;
    forEachCsvRow(text, [&](const QStringList &fields, qint64 line) {
        if (column.isEmpty()) {
            for (qsizetype i = 0; i < fields.size(); ++i) {
                column.insert(fields[i].trimmed(), i);
                names.append(fields[i].trimmed());
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
        records.observe(observationsOf(day, value, line));
        // What has no field here stays in the memo: "drip: mood.happy", "drip: pain.note 朝だけ".
        for (qsizetype i = 0; i < names.size(); ++i) {
            const QString &name = names[i];
            const QString cell = i < fields.size() ? fields[i] : QString();
            const bool read = std::any_of(std::begin(ReadColumns), std::end(ReadColumns),
                                          [&name](const char *c) { return name == QLatin1String(c); }) ||
                              std::any_of(std::begin(SymptomColumns), std::end(SymptomColumns),
                                          [&name](const SymptomColumn &c) { return name == QLatin1String(c.column); });
            if (read || name.endsWith(QLatin1String(".exclude")) || isNothing(cell)) {
                continue;
            }
            records.observeAsMemo(day, isTrue(cell) ? QStringLiteral("drip: %1").arg(name)
                                                    : QStringLiteral("drip: %1 %2").arg(name, cell.trimmed()));
        }
    });
    if (column.isEmpty()) {
        throw EImportError(QStringLiteral("CSV に見出しの行がありません"));
    }
    records.firstDays = firstDaysWithMarks(bleeding, marked);
    return records;
}
