// The JSON exports of three phone trackers. Each is small (a record per day at most), so the document
// is parsed whole; a record is numbered from 1 in the order of its list.
#include "readers.h"

#include <QHash>
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

// The options of a Clue entry's value: {"option": "medium"}, ["cramps", "headache"], [{"option": ...}] or "x".
QStringList optionsOf(const QJsonValue &value)
{
    QStringList options;
    const auto take = [&options](const QJsonValue &v) {
        const QString option = v.isObject() ? v.toObject().value(QLatin1String("option")).toString() : v.toString();
        if (!option.isEmpty()) {
            options.append(option);
        }
    };
    if (value.isArray()) {
        for (const QJsonValue v : value.toArray()) {
            take(v);
        }
    } else {
        take(value);
    }
    return options;
}

// Names of other programs for a symptom (in lower case, spaces and "_" as written) and the day record's
// token they stand for.
struct SymptomName
{
    const char *name;
    const char *token;
};
constexpr SymptomName SymptomNames[] = {
    {"cramps", "cramps"},
    {"backache", "backache"},
    {"back pain", "backache"},
    {"headache", "headache"},
    {"migraine", "headache"},
    {"tender_breasts", "breasts"},
    {"tender breasts", "breasts"},
    {"breast tenderness", "breasts"},
    {"nausea", "nausea"},
    {"nauseated", "nausea"},
    {"acne", "skin"},
    {"bloating", "bloating"},
    {"bloated", "bloating"},
    {"fatigue", "fatigue"},
    {"tired", "fatigue"},
    {"exhausted", "fatigue"},
    {"constipation", "bowel"},
    {"constipated", "bowel"},
    {"diarrhea", "bowel"},
    {"sad", "low"},
    {"depressed", "low"},
    {"anxious", "anxious"},
    {"anxiety", "anxious"},
    {"irritable", "irritable"},
    {"irritability", "irritable"},
    {"angry", "irritable"},
};

const char *symptomToken(const QString &name)
{
    const QString key = name.trimmed().toLower();
    for (const SymptomName &s : SymptomNames) {
        if (key == QLatin1String(s.name)) {
            return s.token;
        }
    }
    return nullptr;
}

std::optional<Flow> flowNamed(const QString &name)
{
    const QString key = name.trimmed().toLower();
    if (key == QLatin1String("spotting")) {
        return Flow::Spotting;
    }
    for (const Flow flow : {Flow::Light, Flow::Medium, Flow::Heavy}) {
        if (key == flowToken(flow) || key == flowToken(flow) + QLatin1String(" flow")) {
            return flow;
        }
    }
    return std::nullopt;
}

// Clue's kinds of entry in the words of a memo line.
QString clueKindWords(const QString &type)
{
    static const std::pair<const char *, const char *> words[] = {
        {"craving", "食欲"},  {"energy", "エネルギー"}, {"sleep", "睡眠"},     {"digestion", "消化"},
        {"skin", "肌"},       {"mood", "気分"},         {"pain", "痛み"},      {"social", "人付き合い"},
        {"exercise", "運動"}, {"hair", "髪"},           {"mental", "心"},      {"motivation", "やる気"},
        {"sex", "性交"},      {"pill_hbc", "ピル"},     {"fluid", "おりもの"}, {"test", "検査"},
    };
    for (const auto &[name, japanese] : words) {
        if (type == QLatin1String(name)) {
            return QString::fromUtf8(japanese);
        }
    }
    return type;
}

// A Clue entry other than a plain period day: its intensity, symptoms, sex and pill into the day record,
// anything else into the day's memo ("Clue: 食欲 salty").
void observeClue(ImportedRecords &records, const QDate &day, const QString &type, const QJsonValue &value)
{
    DayRecord record;
    record.date = day;
    for (const QString &option : optionsOf(value)) {
        if (type == QLatin1String("period")) {
            record.flow = flowNamed(option);
            continue;
        }
        const char *token = symptomToken(option);
        if (token != nullptr &&
            (type == QLatin1String("pain") || type == QLatin1String("mood") || type == QLatin1String("digestion") ||
             type == QLatin1String("skin") || type == QLatin1String("energy"))) {
            record.symptoms.append(QLatin1String(token));
        } else if (type == QLatin1String("sex") &&
                   (option == QLatin1String("protected") || option == QLatin1String("unprotected"))) {
            record.sex = option == QLatin1String("protected") ? SexState::Protected : SexState::Unprotected;
        } else if (type == QLatin1String("pill_hbc") && pillFromToken(option)) {
            record.pill = pillFromToken(option);
        } else {
            records.observeAsMemo(day, QStringLiteral("Clue: %1 %2").arg(clueKindWords(type), option));
        }
    }
    if (type != QLatin1String("period") && optionsOf(value).isEmpty()) {
        records.observeAsMemo(day, QStringLiteral("Clue: ") + clueKindWords(type));
    }
    // Tokens in the order of the file, as a record holds them.
    DayRecord ordered = record;
    ordered.symptoms.clear();
    joinDayRecord(ordered, record);
    records.observe(ordered);
}

QString noDateReason(const QJsonValue &value)
{
    return value.isString() ? QStringLiteral("日付 \"%1\" が読めません").arg(value.toString().left(40))
                            : QStringLiteral("日付がありません");
}

// Mensinator's symptoms: "symptoms" names them by id, "symptom_dates" gives their days. A flow symptom
// ("Heavy Flow") sets the day's bleeding, a known one a symptom token, any other a memo line.
// Records are numbered on after the periods.
void observeMensinatorSymptoms(ImportedRecords &records, const QJsonObject &root, qsizetype numbered)
{
    QHash<QString, QString> names;
    const auto idText = [](const QJsonValue &id) {
        return id.isDouble() ? QString::number(id.toDouble(), 'g', 17) : id.toString();
    };
    for (const QJsonValue value : root.value(QLatin1String("symptoms")).toArray()) {
        const QJsonObject symptom = value.toObject();
        names.insert(idText(symptom.value(QLatin1String("id"))), symptom.value(QLatin1String("name")).toString());
    }
    const QJsonArray dates = root.value(QLatin1String("symptom_dates")).toArray();
    for (qsizetype i = 0; i < dates.size(); ++i) {
        const QJsonObject entry = dates[i].toObject();
        QJsonValue date = entry.value(QLatin1String("symptom_date"));
        if (date.isUndefined()) {
            date = entry.value(QLatin1String("date"));
        }
        const QDate day = parseImportDate(date.toString(), true);
        const QString name = names.value(idText(entry.value(QLatin1String("symptom_id"))));
        if (!day.isValid() || name.isEmpty()) {
            records.skip(numbered + i + 1,
                         day.isValid() ? QStringLiteral("症状の名前がありません") : noDateReason(date));
            continue;
        }
        DayRecord record;
        record.date = day;
        if (const std::optional<Flow> flow = flowNamed(name)) {
            record.flow = flow;
        } else if (const char *token = symptomToken(name)) {
            record.symptoms = {QLatin1String(token)};
        } else {
            records.observeAsMemo(day, QStringLiteral("Mensinator: ") + name);
            continue;
        }
        records.observe(record);
    }
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
        const QString type = entry.value(QLatin1String("type")).toString();
        if (type.isEmpty()) {
            continue;
        }
        const QDate day = parseImportDate(entry.value(QLatin1String("date")).toString(), true);
        if (!day.isValid()) {
            records.skip(i + 1, noDateReason(entry.value(QLatin1String("date"))));
            continue;
        }
        if (type == QLatin1String("period")) {
            bleeding.append(day);
        }
        observeClue(records, day, type, entry.value(QLatin1String("value")));
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
    observeMensinatorSymptoms(records, document.object(), list.size());
    return records;
}
