#include "importfile.h"

#include "datafiles.h"
#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "readers.h"
#include "textfile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QSet>

#include <memory>

namespace {

// The small formats are read whole; anything larger is no export of a phone tracker.
constexpr qint64 MaxWholeFileBytes = qint64(512) << 20;
constexpr qsizetype HeadBytes = 4096;

const QString UnknownFormat =
    QStringLiteral("読み込める形式ではありません（Apple ヘルスケア、drip、Clue、Flo、Mensinator、日付の CSV、Easy "
                   "VELUNA の書き出しを読めます）");

enum class Kind { AppleHealth, Json, Text, Unknown };

Kind sniff(QByteArrayView head)
{
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06")) {
        return Kind::AppleHealth;
    }
    if (head.startsWith("\xEF\xBB\xBF")) {
        head = head.sliced(3);
    }
    qsizetype i = 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) {
        ++i;
    }
    if (i < head.size() && head[i] == '<') {
        return Kind::AppleHealth;
    }
    if (i < head.size() && (head[i] == '{' || head[i] == '[')) {
        return Kind::Json;
    }
    // A picture or other binary file holds control bytes that no CSV has; UTF-16 text is no CSV we read.
    for (const char c : head) {
        if (c == '\0' || (uchar(c) < 0x20 && c != '\t' && c != '\r' && c != '\n')) {
            return Kind::Unknown;
        }
    }
    return Kind::Text;
}

ImportedRecords readJson(const QByteArray &bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (document.isNull()) {
        throw EImportError(
            QStringLiteral("JSON として読めません（%1 バイト目: %2）").arg(error.offset + 1).arg(error.errorString()));
    }
    if (document.isArray()) {
        return readClueJson(document);
    }
    const QJsonObject root = document.object();
    if (root.contains(QLatin1String("format"))) {
        return readOwnExport(document);
    }
    if (root.contains(QLatin1String("operationalData"))) {
        return readFloJson(document);
    }
    if (root.contains(QLatin1String("periods"))) {
        return readMensinatorJson(document);
    }
    throw EImportError(UnknownFormat);
}

ImportedRecords readText(const QByteArray &bytes)
{
    const QString text = decodeTextFile(bytes).text;
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QString firstLine = text.left(lineEnd < 0 ? text.size() : lineEnd);
    if (firstLine.contains(QLatin1String("isCycleStart")) || firstLine.contains(QLatin1String("bleeding.value")) ||
        firstLine.contains(QLatin1String("temperature.value"))) {
        return readDripCsv(text);
    }
    try {
        return readDatesCsv(text);
    } catch (const EImportError &) {
        throw EImportError(UnknownFormat);
    }
}

ImportedRecords readByKind(Kind kind, const QByteArray &bytes)
{
    switch (kind) {
    case Kind::Json:
        return readJson(bytes);
    case Kind::Text:
        return readText(bytes);
    case Kind::AppleHealth:
        return readAppleHealthBytes(bytes);
    case Kind::Unknown:
        break;
    }
    throw EImportError(UnknownFormat);
}

QString crlfBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

// Whether the memo already holds the text as a whole or as a block of whole lines (an earlier import).
bool memoHolds(const QString &memo, const QString &text)
{
    const QString br = QStringLiteral("\r\n");
    return memo == text || memo.startsWith(text + br) || memo.endsWith(br + text) || memo.contains(br + text + br);
}

std::unique_ptr<DataFolderLock> lockIf(bool write, const QString &path)
{
    return write ? LineFile::lockForUpdate(path) : nullptr;
}

void mergeFirstDays(const QString &path, const QList<QDate> &days, bool write, MergeCounts &counts)
{
    const auto lock = lockIf(write, path);
    LineFile file = LineFile::readIfExists(path);
    QSet<QDate> there;
    for (const QString &line : file.lines()) {
        there.insert(parseImportDate(line));
    }
    for (const QDate &day : days) {
        if (there.contains(day)) {
            ++counts.firstDaysThere;
            continue;
        }
        there.insert(day);
        ++counts.firstDaysNew;
        file.lines().append(formatDateText(day));
    }
    if (write && counts.firstDaysNew > 0) {
        sortLinesDescending(file.lines());
        file.saveToFile(path);
    }
}

void mergeMemos(const QString &path, const QList<ImportedMemo> &memos, bool write, MergeCounts &counts)
{
    const auto lock = lockIf(write, path);
    LineFile file = LineFile::readIfExists(path);
    QStringList &lines = file.lines();
    QHash<QDate, qsizetype> lineOf;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isBlankMemoLine(lines[i])) {
            const QDate day = parseImportDate(memoDayField(lines[i]));
            if (day.isValid() && !lineOf.contains(day)) {
                lineOf.insert(day, i);
            }
        }
    }
    bool changed = false;
    for (qsizetype k = 0; k < memos.size(); ++k) {
        const QDate day = memos[k].day;
        const QString text = crlfBreaks(memos[k].text);
        if (memoNotKeptNotice(day, text)) {
            counts.memosRefused.append(
                {k + 1, QStringLiteral("%1 のメモは「$」が改行に変わるため保存できません").arg(formatDateText(day))});
            continue;
        }
        const auto found = lineOf.constFind(day);
        if (found == lineOf.constEnd()) {
            lineOf.insert(day, lines.size());
            lines.append(BuildMemoLine(day, text));
            ++counts.memosNew;
            changed = true;
            continue;
        }
        const QStringList fields = splitMemoLine(lines[*found]);
        QString stored = fields.value(1);
        stored.replace(QStringLiteral("$$"), QStringLiteral("\r\n"));
        if (memoHolds(stored, text)) {
            ++counts.memosThere;
            continue;
        }
        lines[*found] = BuildMemoLine(day, stored + QStringLiteral("\r\n") + text);
        ++counts.memosAppended;
        changed = true;
    }
    if (write && changed) {
        sortMemoLines(lines);
        file.saveToFile(path);
    }
}

} // namespace

ImportedRecords readImportFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EImportError(file.errorString());
    }
    const QByteArray head = file.peek(HeadBytes);
    if (head.isEmpty()) {
        throw EImportError(QStringLiteral("ファイルが空です"));
    }
    const Kind kind = sniff(head);
    if (kind == Kind::AppleHealth) {
        file.close();
        return readAppleHealthFile(path);
    }
    if (kind == Kind::Unknown) {
        throw EImportError(UnknownFormat);
    }
    if (file.size() > MaxWholeFileBytes) {
        throw EImportError(UnknownFormat);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw EImportError(file.errorString());
    }
    return readByKind(kind, bytes);
}

ImportedRecords readImportBytes(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        throw EImportError(QStringLiteral("ファイルが空です"));
    }
    return readByKind(sniff(QByteArrayView(bytes).first(std::min(bytes.size(), HeadBytes))), bytes);
}

MergeCounts mergeImport(const QString &dataFolder, const ImportedRecords &records, bool write)
{
    MergeCounts counts;
    mergeFirstDays(dataFilePath(dataFolder, DataKind::FirstDays), records.firstDays, write, counts);
    mergeMemos(dataFilePath(dataFolder, DataKind::Memos), records.memos, write, counts);
    const TemperatureMerge readings =
        mergeTemperatureReadings(dataFilePath(dataFolder, DataKind::Readings), records.readings, write);
    counts.readingsNew = int(readings.added.size());
    counts.readingsDiffering = int(readings.differing.size());
    return counts;
}

QString previewText(const ImportedRecords &records, const MergeCounts &counts)
{
    QStringList lines;
    lines << QStringLiteral("形式: %1").arg(records.format)
          << QStringLiteral("生理開始日: 新しく %1 件、登録済み %2 件")
                 .arg(counts.firstDaysNew)
                 .arg(counts.firstDaysThere)
          << QStringLiteral("メモ: 新しく %1 件、追記 %2 件、同じメモあり %3 件")
                 .arg(counts.memosNew)
                 .arg(counts.memosAppended)
                 .arg(counts.memosThere)
          << QStringLiteral("基礎体温: 新しく %1 件、登録済みの値と違う %2 件（登録済みの値を残します）")
                 .arg(counts.readingsNew)
                 .arg(counts.readingsDiffering);
    const qint64 skipped = records.skippedCount + counts.memosRefused.size();
    lines << QStringLiteral("読み飛ばし: %1 件").arg(skipped);
    for (const SkippedEntry &entry : records.skipped) {
        lines << QStringLiteral("  %1 %2: %3").arg(entry.position).arg(records.positionUnit, entry.reason);
    }
    if (records.skippedCount > records.skipped.size()) {
        lines << QStringLiteral("  ほか %1 件").arg(records.skippedCount - records.skipped.size());
    }
    for (const SkippedEntry &entry : counts.memosRefused) {
        lines << QStringLiteral("  メモ %1 件目: %2").arg(entry.position).arg(entry.reason);
    }
    return lines.join(u'\n');
}
