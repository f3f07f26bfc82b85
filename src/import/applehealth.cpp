// Apple Health's export: export.xml, alone or inside export.zip as apple_health_export/export.xml (the
// file is named in the phone's language, so any .xml directly in that folder but the CDA document
// counts). Exports of one or two gigabytes are common: the zip entry is read through libarchive in
// chunks and fed to a QXmlStreamReader, so memory stays the size of a chunk and of the records found.
#include "readers.h"

#include "archivelibrary.h"

#include <QFile>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <memory>

#include <locale.h>
#include <unistd.h>

namespace {

constexpr qsizetype ChunkBytes = 1 << 20;

const QLatin1String FlowType("HKCategoryTypeIdentifierMenstrualFlow");
const QLatin1String TemperatureType("HKQuantityTypeIdentifierBasalBodyTemperature");
const QLatin1String CategoryPrefix("HKCategoryTypeIdentifier");
const QString MemoSource = QStringLiteral("Apple ヘルスケア: ");

// The symptom types, by the name after HKCategoryTypeIdentifier: a symptom token of the day record,
// or (with a null token) the words of a memo line for one that has no field here.
struct SymptomType
{
    const char *type;
    const char *token;
    const char *memo;
};
constexpr SymptomType SymptomTypes[] = {
    {"AbdominalCramps", "cramps", nullptr},
    {"LowerBackPain", "backache", nullptr},
    {"Headache", "headache", nullptr},
    {"BreastPain", "breasts", nullptr},
    {"Nausea", "nausea", nullptr},
    {"Acne", "skin", nullptr},
    {"Bloating", "bloating", nullptr},
    {"Fatigue", "fatigue", nullptr},
    {"SleepChanges", "sleepy", nullptr},
    {"Constipation", "bowel", nullptr},
    {"Diarrhea", "bowel", nullptr},
    {"MoodChanges", nullptr, "気分の変化"},
    {"AppetiteChanges", nullptr, "食欲の変化"},
    {"HotFlashes", nullptr, "ほてり"},
    {"Dizziness", nullptr, "めまい"},
    {"PelvicPain", nullptr, "骨盤の痛み"},
};

// The kilogram of the record in tenths, from kg or lb; nothing for another unit or no number.
std::optional<int> weightTenthsFrom(const QString &value, const QString &unit)
{
    bool ok = false;
    const double amount = value.toDouble(&ok);
    if (!ok || !std::isfinite(amount) || amount <= 0 || amount > 1e5) {
        return std::nullopt;
    }
    if (unit == QLatin1String("kg")) {
        return int(std::lround(amount * 10));
    }
    if (unit == QLatin1String("lb")) {
        return int(std::lround(amount * 0.45359237 * 10));
    }
    return std::nullopt;
}

class HealthXmlParser final
{
public:
    explicit HealthXmlParser(const QDate &today)
    {
        m_records.today = today;
        m_records.format = QStringLiteral("Apple ヘルスケア");
        m_records.positionUnit = QStringLiteral("行目");
        // The export uses no namespaces; resolving them would cost time on every one of millions of elements.
        m_xml.setNamespaceProcessing(false);
    }

    // Fed in pieces of at most ChunkBytes. The reader keeps an unfinished token and parses it again
    // with every piece: a token that grows past MaxRecordBytes without ending would cost memory and
    // time without bound, so the import ends there.
    void feed(QByteArrayView bytes)
    {
        for (qsizetype at = 0; at < bytes.size(); at += ChunkBytes) {
            const QByteArrayView piece = bytes.sliced(at, std::min(ChunkBytes, bytes.size() - at));
            const qint64 before = m_tokens;
            m_xml.addData(QByteArray(piece.data(), piece.size()));
            parse();
            m_unfinished = m_tokens != before ? piece.size() : m_unfinished + piece.size();
            if (m_unfinished > MaxRecordBytes) {
                throw EImportError(recordTooLongReason());
            }
        }
    }

    ImportedRecords finish()
    {
        parse();
        if (m_xml.hasError() || !m_sawRoot) {
            throw EImportError(m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError || !m_sawRoot
                                   ? QStringLiteral("XML が途中で終わっています")
                                   : QStringLiteral("XML として読めません（%1 行目: %2）")
                                         .arg(m_xml.lineNumber())
                                         .arg(m_xml.errorString()));
        }
        m_records.firstDays = firstDaysWithMarks(m_bleeding.values(), m_marked.values());
        return std::move(m_records);
    }

private:
    void parse()
    {
        while (!m_xml.atEnd()) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            ++m_tokens;
            if (token == QXmlStreamReader::Invalid) {
                --m_tokens;
                if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
                    return; // more data to come
                }
                throw EImportError(QStringLiteral("XML として読めません（%1 行目: %2）")
                                       .arg(m_xml.lineNumber())
                                       .arg(m_xml.errorString()));
            }
            if (token == QXmlStreamReader::StartElement) {
                startElement();
            } else if (token == QXmlStreamReader::EndElement && m_xml.name() == QLatin1String("Record")) {
                endRecord();
            }
        }
    }

    void startElement()
    {
        const QStringView name = m_xml.name();
        if (!m_sawRoot) {
            if (name != QLatin1String("HealthData")) {
                throw EImportError(QStringLiteral("Apple ヘルスケアの書き出しではありません"));
            }
            m_sawRoot = true;
            return;
        }
        if (name == QLatin1String("Record")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            m_kind = kindOf(attributes.value(QLatin1String("type")));
            if (m_kind == Kind::Other) {
                return;
            }
            m_line = m_xml.lineNumber();
            m_day = parseImportDate(attributes.value(QLatin1String("startDate")), true);
            m_value = attributes.value(QLatin1String("value")).toString();
            m_unit = attributes.value(QLatin1String("unit")).toString();
            m_cycleStart = false;
            m_protected = false;
        } else if (m_kind != Kind::Other && name == QLatin1String("MetadataEntry")) {
            const QXmlStreamAttributes attributes = m_xml.attributes();
            const QStringView key = attributes.value(QLatin1String("key"));
            const bool set = attributes.value(QLatin1String("value")).trimmed() == QLatin1String("1");
            if (key == QLatin1String("HKMenstrualCycleStart")) {
                m_cycleStart = set;
            } else if (key == QLatin1String("HKSexualActivityProtectionUsed")) {
                m_protected = set;
            }
        }
    }

    enum class Kind { Other, Flow, Temperature, Spotting, Mucus, Ovulation, Sex, Mass, Symptom };

    Kind kindOf(QStringView type)
    {
        if (type == FlowType) {
            return Kind::Flow;
        }
        if (type == TemperatureType) {
            return Kind::Temperature;
        }
        if (type == QLatin1String("HKQuantityTypeIdentifierBodyMass")) {
            return Kind::Mass;
        }
        if (!type.startsWith(CategoryPrefix)) {
            return Kind::Other;
        }
        const QStringView name = type.sliced(CategoryPrefix.size());
        if (name == QLatin1String("IntermenstrualBleeding")) {
            return Kind::Spotting;
        }
        if (name == QLatin1String("CervicalMucusQuality")) {
            return Kind::Mucus;
        }
        if (name == QLatin1String("OvulationTestResult")) {
            return Kind::Ovulation;
        }
        if (name == QLatin1String("SexualActivity")) {
            return Kind::Sex;
        }
        for (const SymptomType &symptom : SymptomTypes) {
            if (name == QLatin1String(symptom.type)) {
                m_symptom = &symptom;
                return Kind::Symptom;
            }
        }
        return Kind::Other;
    }

    // A day's observation other than a first day or a reading, once the record has ended.
    void observeRecord(Kind kind)
    {
        DayRecord record;
        record.date = m_day;
        const auto valueIs = [this](const char *suffix) { return m_value.endsWith(QLatin1String(suffix)); };
        switch (kind) {
        case Kind::Flow:
            record.flow = valueIs("Light")    ? Flow::Light
                          : valueIs("Heavy")  ? Flow::Heavy
                          : valueIs("Medium") ? Flow::Medium
                                              : Flow::Medium; // unspecified: the middle of the scale
            break;
        case Kind::Spotting:
            record.flow = Flow::Spotting;
            break;
        case Kind::Mucus:
            if (valueIs("Dry")) {
                record.mucus = 0;
            } else if (valueIs("Sticky") || valueIs("Creamy")) {
                record.mucus = 3;
            } else if (valueIs("Watery") || valueIs("EggWhite")) {
                record.mucus = 4;
            } else {
                m_records.skip(m_line, QStringLiteral("おりものの値 \"%1\" が読めません").arg(m_value.left(60)));
                return;
            }
            break;
        case Kind::Ovulation:
            if (valueIs("Negative")) {
                record.lh = LhResult::Negative;
            } else if (valueIs("Positive") || valueIs("LuteinizingHormoneSurge")) {
                record.lh = LhResult::Positive;
            } else if (valueIs("Indeterminate")) {
                m_records.observeAsMemo(m_day, MemoSource + QStringLiteral("排卵検査薬 判定不能"));
                return;
            } else if (valueIs("EstrogenSurge")) {
                m_records.observeAsMemo(m_day, MemoSource + QStringLiteral("排卵検査薬 エストロゲン上昇"));
                return;
            } else {
                m_records.skip(m_line, QStringLiteral("排卵検査の値 \"%1\" が読めません").arg(m_value.left(60)));
                return;
            }
            break;
        case Kind::Sex:
            record.sex = m_protected ? SexState::Protected : SexState::Unprotected;
            break;
        case Kind::Mass:
            record.weightTenths = weightTenthsFrom(m_value, m_unit);
            if (!record.weightTenths || *record.weightTenths < MinWeightTenths ||
                *record.weightTenths > MaxWeightTenths) {
                m_records.skip(m_line, QStringLiteral("体重 \"%1 %2\" は %3〜%4 kg の値ではありません")
                                           .arg(m_value.left(20), m_unit.left(10), formatWeightTenths(MinWeightTenths),
                                                formatWeightTenths(MaxWeightTenths)));
                return;
            }
            break;
        case Kind::Symptom:
            // Severity or presence: a symptom recorded as absent is no symptom.
            if (valueIs("NotPresent")) {
                return;
            }
            if (m_symptom->token == nullptr) {
                m_records.observeAsMemo(m_day, MemoSource + QString::fromUtf8(m_symptom->memo));
                return;
            }
            record.symptoms = {QLatin1String(m_symptom->token)};
            break;
        case Kind::Other:
        case Kind::Temperature:
            return;
        }
        m_records.observe(record);
    }

    void endRecord()
    {
        const Kind kind = m_kind;
        m_kind = Kind::Other;
        if (kind == Kind::Other) {
            return;
        }
        if (!m_day.isValid()) {
            m_records.skip(m_line, QStringLiteral("startDate が読めません"));
            return;
        }
        if (!m_records.admit(m_day)) {
            return;
        }
        if (kind == Kind::Flow) {
            // ...None means the day was recorded as one without bleeding.
            if (m_value.endsWith(QLatin1String("None"))) {
                return;
            }
            if (!m_value.startsWith(QLatin1String("HKCategoryValueMenstrualFlow")) &&
                !m_value.startsWith(QLatin1String("HKCategoryValueVaginalBleeding"))) {
                m_records.skip(m_line, QStringLiteral("出血の値 \"%1\" が読めません").arg(m_value.left(60)));
                return;
            }
            m_bleeding.insert(m_day);
            if (m_cycleStart) {
                m_marked.insert(m_day);
            }
            observeRecord(kind);
            return;
        }
        if (kind != Kind::Temperature) {
            observeRecord(kind);
            return;
        }
        const bool fahrenheit = m_unit == QLatin1String("degF");
        const std::optional<int> centi =
            fahrenheit || m_unit == QLatin1String("degC") ? centiDegreesFrom(m_value, fahrenheit) : std::nullopt;
        if (!centi || *centi < MinCentiDegrees || *centi > MaxCentiDegrees) {
            m_records.skip(m_line, temperatureRangeReason(m_value.left(20) + u' ' + m_unit.left(10)));
            return;
        }
        // Of several readings of a day the first counts, as in the merge.
        if (!m_readingDays.contains(m_day)) {
            m_readingDays.insert(m_day);
            m_records.readings.append({m_day, *centi, false});
        }
    }

    QXmlStreamReader m_xml;
    ImportedRecords m_records;
    // Sets: an export may repeat a day any number of times, and these stay within FirstImportDay..today.
    QSet<QDate> m_bleeding;
    QSet<QDate> m_marked;
    QSet<QDate> m_readingDays;
    qint64 m_tokens = 0;
    qsizetype m_unfinished = 0; // bytes fed since the last piece that completed a token
    bool m_sawRoot = false;
    Kind m_kind = Kind::Other;
    qint64 m_line = 0;
    QDate m_day;
    QString m_value;
    QString m_unit;
    bool m_cycleStart = false;
    bool m_protected = false;
    const SymptomType *m_symptom = nullptr;
};

struct ArchiveFree
{
    void operator()(archive *a) const { archiveLibrary().archive_read_free(a); }
};

// The export's XML inside the zip: directly in the top folder, ending in ".xml", not the CDA document.
bool isHealthXmlEntry(const QString &name)
{
    const QStringList parts = name.split(u'/', Qt::SkipEmptyParts);
    return (parts.size() == 1 || parts.size() == 2) && name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive) &&
           !name.endsWith(QLatin1String("_cda.xml"), Qt::CaseInsensitive);
}

// The Japanese phone names the file 書き出したデータ.xml. libarchive converts entry names through the
// thread's character type, and under the "C" locale such a name has no form at all: the zip is read
// with a UTF-8 character type on this thread, the rest of the process left as it is.
class Utf8CharacterType final
{
public:
    Utf8CharacterType()
        : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr)))
        , m_previous(m_utf8 != locale_t(nullptr) ? uselocale(m_utf8) : locale_t(nullptr))
    {
    }
    ~Utf8CharacterType()
    {
        if (m_utf8 != locale_t(nullptr)) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    Utf8CharacterType(const Utf8CharacterType &) = delete;
    Utf8CharacterType &operator=(const Utf8CharacterType &) = delete;

private:
    locale_t m_utf8;
    locale_t m_previous;
};

QString entryName(archive_entry *entry)
{
    const char *name = archiveLibrary().archive_entry_pathname_utf8(entry);
    return name != nullptr ? QString::fromUtf8(name) : QString();
}

[[noreturn]] void zipFailure(archive *a)
{
    const char *text = archiveLibrary().archive_error_string(a);
    throw EImportError(QStringLiteral("zip を読めません（%1）")
                           .arg(text != nullptr ? QString::fromLocal8Bit(text) : QStringLiteral("壊れています")));
}

ImportedRecords readZip(archive *a, const QDate &today)
{
    const Utf8CharacterType utf8;
    archive_entry *entry = nullptr;
    while (true) {
        const int status = archiveLibrary().archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF) {
            throw EImportError(QStringLiteral("zip に apple_health_export/export.xml がありません"));
        }
        if (status != ARCHIVE_OK && status != ARCHIVE_WARN) {
            zipFailure(a);
        }
        if (isHealthXmlEntry(entryName(entry))) {
            break;
        }
    }
    HealthXmlParser parser(today);
    QByteArray chunk(ChunkBytes, Qt::Uninitialized);
    while (true) {
        const la_ssize_t got = archiveLibrary().archive_read_data(a, chunk.data(), size_t(chunk.size()));
        if (got < 0) {
            zipFailure(a);
        }
        if (got == 0) {
            break;
        }
        parser.feed(QByteArrayView(chunk.constData(), qsizetype(got)));
    }
    return parser.finish();
}

} // namespace

bool startsLikeZip(QByteArrayView head)
{
    return head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06");
}

ImportedRecords readAppleHealthFile(QFile &file, const QDate &today)
{
    if (startsLikeZip(file.peek(4))) {
        // libarchive reads the same open file (seeking in it), never the path again.
        if (::lseek(file.handle(), 0, SEEK_SET) != 0) {
            throw EImportError(file.errorString());
        }
        std::unique_ptr<archive, ArchiveFree> a(archiveLibrary().archive_read_new());
        archiveLibrary().archive_read_support_format_zip_seekable(a.get());
        if (archiveLibrary().archive_read_open_fd(a.get(), file.handle(), size_t(ChunkBytes)) != ARCHIVE_OK) {
            zipFailure(a.get());
        }
        return readZip(a.get(), today);
    }
    HealthXmlParser parser(today);
    while (true) {
        const QByteArray chunk = file.read(ChunkBytes);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError) {
                throw EImportError(file.errorString());
            }
            break;
        }
        parser.feed(chunk);
    }
    return parser.finish();
}

ImportedRecords readAppleHealthBytes(const QByteArray &bytes, const QDate &today)
{
    if (startsLikeZip(bytes)) {
        std::unique_ptr<archive, ArchiveFree> a(archiveLibrary().archive_read_new());
        archiveLibrary().archive_read_support_format_zip_seekable(a.get());
        if (archiveLibrary().archive_read_open_memory(a.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK) {
            zipFailure(a.get());
        }
        return readZip(a.get(), today);
    }
    HealthXmlParser parser(today);
    parser.feed(bytes);
    return parser.finish();
}
