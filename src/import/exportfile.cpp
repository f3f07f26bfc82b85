#include "exportfile.h"

#include "datafiles.h"
#include "datetext.h"
#include "dayrecordfile.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "periodfile.h"
#include "readers.h"
#include "settings.h"
#include "temperaturefile.h"
#include "textfile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <sys/stat.h>

namespace {

QString isoDay(const QDate &day)
{
    return day.toString(Qt::ISODate);
}

// Every key of setting.ini by section, read as the program reads it, the passwords left out.
QJsonObject settingsOf(const QString &path)
{
    QJsonObject sections;
    if (!QFileInfo::exists(path)) {
        return sections;
    }
    const IniFile ini(path);
    QString section;
    const LineFile file = LineFile::readIfExists(path);
    for (const QString &raw : file.lines()) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (section.isEmpty() || eq <= 0) {
            continue;
        }
        const QString key = line.left(eq).trimmed();
        if (isPasswordKey(section, key)) {
            continue;
        }
        QJsonObject keys = sections.value(section).toObject();
        keys.insert(key, ini.readString(section, key, QString()));
        sections.insert(section, keys);
    }
    return sections;
}

QJsonArray firstDaysOf(const QString &path)
{
    QJsonArray firstDays;
    const QList<QDate> dates = readFirstDaysAscending(path, UnreadableLine::Skip);
    for (auto day = dates.crbegin(); day != dates.crend(); ++day) {
        firstDays.append(isoDay(*day)); // newest first, as the file lists them
    }
    return firstDays;
}

QJsonArray memosOf(const QString &path)
{
    QJsonArray memos;
    const LineFile memoFile = LineFile::readIfExists(path);
    for (const QString &line : memoFile.lines()) {
        if (isBlankMemoLine(line)) {
            continue;
        }
        const QStringList fields = splitMemoLine(line);
        const QDate day = parseImportDate(fields.value(0));
        if (day.isValid()) {
            QString text = fields.value(1);
            memos.append(
                QJsonObject{{QStringLiteral("date"), isoDay(day)},
                            {QStringLiteral("text"), text.replace(QStringLiteral("$$"), QStringLiteral("\r\n"))}});
        }
    }
    return memos;
}

QJsonArray readingsOf(const QString &path)
{
    QJsonArray readings;
    for (const TemperatureReading &reading : readTemperatureFile(path).readings) {
        readings.append(QJsonObject{{QStringLiteral("date"), isoDay(reading.date)},
                                    {QStringLiteral("celsius"), reading.centiDegrees / 100.0},
                                    {QStringLiteral("leftOut"), reading.excluded}});
    }
    return readings;
}

// Each day's fields as the file holds them, so that an import gives the same line back, a newer
// version's fields included.
QJsonArray dayRecordsOf(const QString &path)
{
    QJsonArray dayRecords;
    for (const DayRecord &record : readDayFile(path).records) {
        dayRecords.append(QJsonObject{{QStringLiteral("date"), isoDay(record.date)},
                                      {QStringLiteral("record"), formatDayLine(record).section(u',', 1)}});
    }
    return dayRecords;
}

} // namespace

QByteArray buildExport(const QString &dataFolder, const QDateTime &now)
{
    QJsonObject root{
        {QStringLiteral("format"), QLatin1String(ExportFormatName)},
        {QStringLiteral("version"), ExportFormatVersion},
        {QStringLiteral("exported"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate)},
    };
    // One member per exported file of the list, so a file that joins the export joins it here.
    for (const DataFile &file : DataFiles) {
        if (!file.exported) {
            continue;
        }
        const QString path = dataFilePath(dataFolder, file.kind);
        switch (file.kind) {
        case DataKind::FirstDays:
            root.insert(QStringLiteral("firstDays"), firstDaysOf(path));
            break;
        case DataKind::Memos:
            root.insert(QStringLiteral("memos"), memosOf(path));
            break;
        case DataKind::Readings:
            root.insert(QStringLiteral("readings"), readingsOf(path));
            break;
        case DataKind::Settings:
            root.insert(QStringLiteral("settings"), settingsOf(path));
            break;
        case DataKind::DayRecords:
            root.insert(QStringLiteral("dayRecords"), dayRecordsOf(path));
            break;
        }
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString exportRefusal(const QString &dataFolder, const QString &path)
{
    const QFileInfo target(path);
    if (target.isSymLink()) {
        return QStringLiteral("%1 はシンボリックリンクなので書き出せません。リンクの先のファイルを上書きしないよう、"
                              "別のファイル名を指定してください")
            .arg(path);
    }
    const QString refusal =
        QStringLiteral("%1 はデーターファイルなので書き出せません。別のファイル名を指定してください").arg(path);
    struct stat written = {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &written) == 0;
    const QString folder = QFileInfo(dataFolder).canonicalFilePath();
    for (const DataFile &file : DataFiles) {
        const QString dataPath = QDir(dataFolder).filePath(dataFileName(file));
        struct stat data = {};
        // The same file by any other name (a link, a hard link, "./date.dat"), or the name of one not
        // made yet.
        if ((exists && ::stat(QFile::encodeName(dataPath).constData(), &data) == 0 && data.st_dev == written.st_dev &&
             data.st_ino == written.st_ino) ||
            (!folder.isEmpty() && QFileInfo(target.absolutePath()).canonicalFilePath() == folder &&
             target.fileName() == dataFileName(file))) {
            return refusal;
        }
    }
    return QString();
}

void writeExport(const QString &dataFolder, const QString &path)
{
    if (const QString refusal = exportRefusal(dataFolder, path); !refusal.isEmpty()) {
        throw EFileError(refusal);
    }
    const QByteArray bytes = buildExport(dataFolder, QDateTime::currentDateTime());
    QString reason;
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, reason, true)) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, reason));
    }
}

ImportedRecords readOwnExport(const QJsonDocument &document)
{
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != QLatin1String(ExportFormatName)) {
        throw EImportError(QStringLiteral("Easy VELUNA の書き出しではありません"));
    }
    const int version = root.value(QLatin1String("version")).toInt();
    if (version < 1 || version > ExportFormatVersion) {
        throw EImportError(QStringLiteral("この版では読めない書き出しです（version %1）")
                               .arg(root.value(QLatin1String("version")).toInt()));
    }
    ImportedRecords records;
    records.format = QStringLiteral("Easy VELUNA の書き出し");
    records.positionUnit = QStringLiteral("件目");
    // Records are numbered through the three lists, first days first.
    qint64 position = 0;
    for (const QJsonValue value : root.value(QLatin1String("firstDays")).toArray()) {
        ++position;
        const QDate day = parseImportDate(value.toString());
        day.isValid()
            ? records.firstDays.append(day)
            : records.skip(position, QStringLiteral("日付 \"%1\" が読めません").arg(value.toString().left(40)));
    }
    for (const QJsonValue value : root.value(QLatin1String("memos")).toArray()) {
        ++position;
        const QJsonObject memo = value.toObject();
        const QDate day = parseImportDate(memo.value(QLatin1String("date")).toString());
        if (!day.isValid()) {
            records.skip(position, QStringLiteral("メモの日付が読めません"));
            continue;
        }
        records.memos.append({day, memo.value(QLatin1String("text")).toString()});
    }
    for (const QJsonValue value : root.value(QLatin1String("readings")).toArray()) {
        ++position;
        const QJsonObject reading = value.toObject();
        const QDate day = parseImportDate(reading.value(QLatin1String("date")).toString());
        const double celsius = reading.value(QLatin1String("celsius")).toDouble();
        const long centi = std::isfinite(celsius) && std::abs(celsius) < 1e6 ? centiDegreesRounded(celsius) : 0;
        if (!day.isValid() || centi < MinCentiDegrees || centi > MaxCentiDegrees) {
            records.skip(position, QStringLiteral("体温の記録が読めません"));
            continue;
        }
        records.readings.append({day, int(centi), reading.value(QLatin1String("leftOut")).toBool()});
    }
    for (const QJsonValue value : root.value(QLatin1String("dayRecords")).toArray()) {
        ++position;
        const QJsonObject object = value.toObject();
        const QDate day = parseImportDate(object.value(QLatin1String("date")).toString());
        const QString fields = object.value(QLatin1String("record")).toString();
        // Read as the line of dateDay.dat it came from, so a line of a newer version comes back whole.
        const DayFileContent line = day.isValid() && !fields.contains(u'\n') && !fields.contains(u'\r')
                                        ? parseDayFile((formatDateText(day) + u',' + fields).toUtf8())
                                        : DayFileContent{};
        if (line.records.size() != 1) {
            records.skip(position, QStringLiteral("日々の記録が読めません"));
            continue;
        }
        records.dayRecords.append(line.records.front());
    }
    return records;
}
