#include "dayrecordfile.h"

#include "datetext.h"
#include "daylinefile.h"
#include "errors.h"
#include "linefile.h"
#include "textfile.h"
#include "typednumber.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>

namespace {

constexpr std::array<const char *, 4> FlowTokens = {"spotting", "light", "medium", "heavy"};
constexpr std::array<const char *, 3> LhTokens = {"negative", "positive", "peak"};
constexpr std::array<const char *, 2> PillTokens = {"taken", "missed"};
constexpr std::array<const char *, 2> SexTokens = {"1", "protected"};

// The known keys in the order a line holds them.
constexpr std::array<const char *, 9> KnownKeys = {"flow", "pain", "painkiller", "symptoms", "mucus",
                                                   "lh",   "pill", "sex",        "weight"};

template<typename Enum, size_t N>
std::optional<Enum> fromToken(const std::array<const char *, N> &tokens, QStringView token)
{
    for (size_t i = 0; i < N; ++i) {
        if (token == QLatin1String(tokens[i])) {
            return Enum(i);
        }
    }
    return std::nullopt;
}

bool isKnownKey(QStringView key)
{
    return std::any_of(KnownKeys.begin(), KnownKeys.end(), [&key](const char *k) { return key == QLatin1String(k); });
}

// A small whole number written plainly ("2", not "02" or "+2"), so that what is read is what is written.
std::optional<int> plainNumber(QStringView text, int low, int high)
{
    if (text.size() != 1 || text[0] < u'0' || text[0] > u'9') {
        return std::nullopt;
    }
    const int value = text[0].unicode() - u'0';
    return value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

// Puts one field into the record; false when the key is known but this version does not know the value.
bool takeKnownField(DayRecord &record, const QString &key, const QString &value)
{
    const auto take = [](auto &field, auto parsed) {
        field = parsed;
        return field.has_value();
    };
    if (key == QLatin1String("flow")) {
        return take(record.flow, flowFromToken(value));
    }
    if (key == QLatin1String("pain")) {
        record.pain = plainNumber(value, 1, MaxPain).value_or(0);
        return record.pain != 0;
    }
    if (key == QLatin1String("painkiller")) {
        record.painkiller = value == QLatin1String("1");
        return record.painkiller;
    }
    if (key == QLatin1String("mucus")) {
        return take(record.mucus, plainNumber(value, MinMucus, MaxMucus));
    }
    if (key == QLatin1String("lh")) {
        return take(record.lh, lhFromToken(value));
    }
    if (key == QLatin1String("pill")) {
        return take(record.pill, pillFromToken(value));
    }
    if (key == QLatin1String("sex")) {
        return take(record.sex, sexFromToken(value));
    }
    if (key == QLatin1String("weight")) {
        // Only the form this program writes, so that the line comes back as it stood.
        record.weightTenths = parseWeightText(value);
        if (record.weightTenths && formatWeightTenths(*record.weightTenths) != value) {
            record.weightTenths.reset();
        }
        return record.weightTenths.has_value();
    }
    return false;
}

// The symptoms field: known tokens in their order, each once; any other token stays in unknown.
void takeSymptoms(DayRecord &record, const QString &value)
{
    QStringList others;
    QStringList known;
    for (const QString &token : value.split(u'|')) {
        const auto found = std::find_if(SymptomTokens.begin(), SymptomTokens.end(),
                                        [&token](const char *t) { return token == QLatin1String(t); });
        if (found == SymptomTokens.end() || known.contains(token)) {
            others.append(token);
        } else {
            known.append(token);
        }
    }
    for (const char *token : SymptomTokens) {
        if (known.contains(QLatin1String(token))) {
            record.symptoms.append(QLatin1String(token));
        }
    }
    if (!others.isEmpty()) {
        record.unknown.append({QStringLiteral("symptoms"), others.join(u'|')});
    }
}

std::optional<DayRecord> parseLine(const QString &line)
{
    const QStringList fields = line.split(u',');
    if (fields.size() < 2) {
        return std::nullopt;
    }
    DayRecord record;
    try {
        record.date = parseDateText(fields[0].trimmed());
    } catch (const EConvertError &) {
        return std::nullopt;
    }
    QStringList seen;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const qsizetype equals = fields[i].indexOf(u'=');
        if (equals <= 0) {
            return std::nullopt;
        }
        const QString key = fields[i].left(equals);
        const QString value = fields[i].mid(equals + 1);
        if (!isKnownKey(key)) {
            record.unknown.append({key, value});
            continue;
        }
        if (seen.contains(key)) {
            return std::nullopt;
        }
        seen.append(key);
        if (key == QLatin1String("symptoms")) {
            takeSymptoms(record, value);
        } else if (!takeKnownField(record, key, value)) {
            record.unknown.append({key, value});
        }
    }
    // In the order a save writes them (known keys' values in key order, then the other keys as read), so
    // that a record read back from its own line equals it.
    const auto rank = [](const std::pair<QString, QString> &field) {
        const auto known = std::find_if(KnownKeys.begin(), KnownKeys.end(),
                                        [&field](const char *k) { return field.first == QLatin1String(k); });
        return std::distance(KnownKeys.begin(), known);
    };
    std::stable_sort(record.unknown.begin(), record.unknown.end(),
                     [&rank](const auto &a, const auto &b) { return rank(a) < rank(b); });
    return record;
}

std::optional<QString> formatLine(const DayRecord &record)
{
    if (!record.date.isValid() || record.isEmpty()) {
        return std::nullopt;
    }
    return formatDayLine(record);
}

const DayLineFile<DayRecord> &dayLines()
{
    static const DayLineFile<DayRecord> file(parseLine, formatLine, 40);
    return file;
}

// The date at the start of a line as this program writes it ("2026/05/01,"; month and day may have one
// digit), read from the bytes without decoding the line; an invalid date for any other form.
QDate quickLineDate(QByteArrayView line)
{
    int parts[3] = {0, 0, 0};
    qsizetype i = 0;
    for (int part = 0; part < 3; ++part) {
        const qsizetype start = i;
        const qsizetype most = part == 0 ? 4 : 2;
        while (i < line.size() && i - start < most && line[i] >= '0' && line[i] <= '9') {
            parts[part] = parts[part] * 10 + (line[i] - '0');
            ++i;
        }
        const char separator = part < 2 ? '/' : ',';
        if (i == start || (part == 0 && i - start != 4) || i >= line.size() || line[i] != separator) {
            return {};
        }
        ++i;
    }
    return QDate(parts[0], parts[1], parts[2]);
}

} // namespace

bool DayRecord::isEmpty() const
{
    return !flow && pain == 0 && !painkiller && symptoms.isEmpty() && !mucus && !lh && !pill && !sex && !weightTenths &&
           unknown.isEmpty();
}

QString flowToken(Flow flow)
{
    return QLatin1String(FlowTokens[size_t(flow)]);
}

QString lhToken(LhResult result)
{
    return QLatin1String(LhTokens[size_t(result)]);
}

QString pillToken(PillState state)
{
    return QLatin1String(PillTokens[size_t(state)]);
}

QString sexToken(SexState state)
{
    return QLatin1String(SexTokens[size_t(state)]);
}

std::optional<Flow> flowFromToken(QStringView token)
{
    return fromToken<Flow>(FlowTokens, token);
}

std::optional<LhResult> lhFromToken(QStringView token)
{
    return fromToken<LhResult>(LhTokens, token);
}

std::optional<PillState> pillFromToken(QStringView token)
{
    return fromToken<PillState>(PillTokens, token);
}

std::optional<SexState> sexFromToken(QStringView token)
{
    return fromToken<SexState>(SexTokens, token);
}

std::optional<int> parseWeightText(const QString &text)
{
    const std::optional<TypedDecimal> typed = splitTypedDecimal(text);
    if (!typed) {
        return std::nullopt;
    }
    const QString &digits = typed->digits;
    const qsizetype point = typed->point;
    if (digits.isEmpty() || digits.size() > 4 || (point >= 0 && (point == 0 || digits.size() - point != 1))) {
        return std::nullopt;
    }
    const int tenths = point < 0 ? digits.toInt() * 10 : digits.toInt();
    if (tenths < MinWeightTenths || tenths > MaxWeightTenths) {
        return std::nullopt;
    }
    return tenths;
}

QString formatWeightTenths(int tenths)
{
    return QString::number(tenths / 10) + u'.' + QString::number(tenths % 10);
}

QString formatDayLine(const DayRecord &record)
{
    QString line = formatDateText(record.date);
    const auto kept = [&record](const char *key) {
        const auto found = std::find_if(record.unknown.begin(), record.unknown.end(),
                                        [key](const auto &field) { return field.first == QLatin1String(key); });
        return found == record.unknown.end() ? std::optional<QString>() : std::optional<QString>(found->second);
    };
    const auto add = [&line](const char *key, const QString &value) {
        line += u',' + QLatin1String(key) + u'=' + value;
    };
    // A value she chose replaces one this version could not read; otherwise that one stays in its place.
    const auto addOrKept = [&](const char *key, bool has, const auto &value) {
        if (has) {
            add(key, value());
        } else if (const std::optional<QString> old = kept(key)) {
            add(key, *old);
        }
    };
    addOrKept("flow", record.flow.has_value(), [&] { return flowToken(*record.flow); });
    addOrKept("pain", record.pain > 0, [&] { return QString::number(record.pain); });
    addOrKept("painkiller", record.painkiller, [] { return QStringLiteral("1"); });
    QStringList symptoms = record.symptoms;
    if (const std::optional<QString> others = kept("symptoms")) {
        symptoms.append(*others);
    }
    if (!symptoms.isEmpty()) {
        add("symptoms", symptoms.join(u'|'));
    }
    addOrKept("mucus", record.mucus.has_value(), [&] { return QString::number(*record.mucus); });
    addOrKept("lh", record.lh.has_value(), [&] { return lhToken(*record.lh); });
    addOrKept("pill", record.pill.has_value(), [&] { return pillToken(*record.pill); });
    addOrKept("sex", record.sex.has_value(), [&] { return sexToken(*record.sex); });
    addOrKept("weight", record.weightTenths.has_value(), [&] { return formatWeightTenths(*record.weightTenths); });
    for (const auto &[key, value] : record.unknown) {
        if (!isKnownKey(key)) {
            line += u',' + key + u'=' + value;
        }
    }
    return line;
}

DayFileContent parseDayFile(const QByteArray &bytes)
{
    return dayLines().content<DayFileContent>(bytes);
}

DayFileContent readDayFile(const QString &path)
{
    return parseDayFile(LineFile::readBytesIfExists(path));
}

QList<DayRecord> readDayRecordsBetween(const QString &path, const QDate &from, const QDate &to)
{
    const QByteArray bytes = LineFile::readBytesIfExists(path);
    QList<DayRecord> records;
    QSet<QDate> days;
    forEachByteLine(dayLinesBody(bytes), [&](QByteArrayView line, qsizetype) {
        const QDate quick = quickLineDate(line);
        if (quick.isValid() && (quick < from || quick > to)) {
            return;
        }
        if (isBlankDayLine(line) || !isValidUtf8(line)) {
            return;
        }
        // The first line of a day counts, as in the whole file.
        std::optional<DayRecord> record = parseLine(QString::fromUtf8(line));
        if (record && !days.contains(record->date)) {
            days.insert(record->date);
            if (record->date >= from && record->date <= to) {
                records.append(std::move(*record));
            }
        }
    });
    sortByDate(records);
    return records;
}

QByteArray formatDayFile(const DayFileContent &content)
{
    return dayLines().format(content.records, encodeKeptDayLines(content.unreadableLines));
}

void storeDayRecord(const QString &path, const QDate &day, const std::optional<DayRecord> &record)
{
    dayLines().store(path, day, record && !record->isEmpty() ? record : std::optional<DayRecord>());
}

void deleteDayRecords(const QString &path, const QList<QDate> &days)
{
    dayLines().remove(path, days);
}

bool DayRecordMerge::changesAnything() const
{
    return newDays > 0 || std::any_of(added.begin(), added.end(), [](int n) { return n > 0; });
}

bool joinDayRecord(DayRecord &into, const DayRecord &from, DayRecordMerge *counts)
{
    bool changed = false;
    // k: the field's place in DayRecordKeys.
    const auto single = [&](size_t k, auto &stored, const auto &incoming, bool valid) {
        if (!incoming || !valid) {
            return;
        }
        if (!stored) {
            stored = incoming;
            changed = true;
            if (counts != nullptr) {
                ++counts->added[k];
            }
        } else if (*stored != *incoming && counts != nullptr) {
            ++counts->differing[k];
        }
    };
    single(0, into.flow, from.flow, true);
    std::optional<int> pain = into.pain > 0 ? std::optional<int>(into.pain) : std::nullopt;
    single(1, pain, from.pain > 0 ? std::optional<int>(from.pain) : std::nullopt, from.pain <= MaxPain);
    into.pain = pain.value_or(0);
    if (from.painkiller && !into.painkiller) {
        into.painkiller = true;
        changed = true;
        if (counts != nullptr) {
            ++counts->added[2];
        }
    }
    QStringList symptoms;
    bool gained = false;
    for (const char *token : SymptomTokens) {
        const QLatin1String t(token);
        const bool had = into.symptoms.contains(t);
        if (had || from.symptoms.contains(t)) {
            symptoms.append(t);
            gained = gained || !had;
        }
    }
    if (gained) {
        into.symptoms = symptoms;
        changed = true;
        if (counts != nullptr) {
            ++counts->added[3];
        }
    }
    single(4, into.mucus, from.mucus, from.mucus.value_or(0) >= MinMucus && from.mucus.value_or(0) <= MaxMucus);
    single(5, into.lh, from.lh, true);
    single(6, into.pill, from.pill, true);
    single(7, into.sex, from.sex, true);
    single(8, into.weightTenths, from.weightTenths,
           from.weightTenths.value_or(MinWeightTenths) >= MinWeightTenths &&
               from.weightTenths.value_or(MinWeightTenths) <= MaxWeightTenths);
    return changed;
}

DayRecordMerge mergeDayRecords(const QString &path, const QList<DayRecord> &incoming, bool write)
{
    const auto lock = write ? LineFile::lockForUpdate(path) : nullptr;
    auto file = dayLines().read(path);
    QHash<QDate, qsizetype> index;
    for (qsizetype i = 0; i < file.records.size(); ++i) {
        index.insert(file.records[i].date, i);
    }
    DayRecordMerge merge;
    for (const DayRecord &record : incoming) {
        if (!record.date.isValid()) {
            continue;
        }
        const auto found = index.constFind(record.date);
        if (found != index.constEnd()) {
            joinDayRecord(file.records[*found], record, &merge);
            continue;
        }
        // A new day takes the record whole, a newer version's fields (from an export) included.
        DayRecord fresh;
        fresh.date = record.date;
        joinDayRecord(fresh, record, &merge);
        fresh.unknown = record.unknown;
        if (!fresh.isEmpty()) {
            ++merge.newDays;
            index.insert(fresh.date, file.records.size());
            file.records.append(fresh);
        }
    }
    if (write && merge.changesAnything()) {
        dayLines().write(path, file);
    }
    return merge;
}
