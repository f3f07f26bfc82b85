#include "importfile.h"

#include "backup.h"
#include "datafiles.h"
#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "memofile.h"
#include "periodfile.h"
#include "readers.h"
#include "textfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The small formats are read whole: a phone tracker's export of decades is a few hundred KiB, and the
// parsed document takes many times the file's size (up to 60 MiB for 4 MiB of tiny JSON objects), which
// must stay under 100 MiB.
constexpr qint64 MaxWholeFileBytes = qint64(4) << 20;
constexpr qsizetype HeadBytes = 4096;

const QString UnknownFormat =
    QStringLiteral("読み込める形式ではありません（Apple ヘルスケア、drip、Clue、Flo、Mensinator、日付の CSV、Easy "
                   "VELUNA の書き出しを読めます）");

enum class Kind { AppleHealth, Json, Text, Unknown };

Kind sniff(QByteArrayView head)
{
    if (startsLikeZip(head)) {
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
    } catch (const EImportError &e) {
        // The reader's own reason first (no date column, a line too long), then what can be read.
        throw EImportError(QStringLiteral("%1。%2").arg(e.reason(), UnknownFormat));
    }
}

ImportedRecords readByKind(Kind kind, const QByteArray &bytes)
{
    switch (kind) {
    case Kind::Json:
        return readJson(bytes);
    case Kind::Text:
        return readText(bytes);
    case Kind::AppleHealth: // streamed, not read whole
    case Kind::Unknown:
        break;
    }
    throw EImportError(UnknownFormat);
}

std::unique_ptr<DataFolderLock> lockIf(bool write, const QString &path)
{
    return write ? LineFile::lockForUpdate(path) : nullptr;
}

// A first day within the ten-day rule of one registered, or of one this import adds, is the same period.
void mergeFirstDays(const QString &path, QList<QDate> days, bool write, MergeCounts &counts)
{
    const auto lock = lockIf(write, path);
    const QList<QDate> registered = readFirstDaysAscending(path, UnreadableLine::Skip);
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    for (const QDate &day : days) {
        QDate same = samePeriodFirstDay(registered, day);
        if (!same.isValid() && !counts.firstDaysAdded.isEmpty() &&
            counts.firstDaysAdded.last().daysTo(day) <= TenDayRuleDays) {
            same = counts.firstDaysAdded.last();
        }
        if (!same.isValid()) {
            counts.firstDaysAdded.append(day);
            continue;
        }
        ++counts.firstDaysThere;
        if (same != day) {
            counts.firstDaysNear.append({day, same});
        }
    }
    counts.firstDaysNew = int(counts.firstDaysAdded.size());
    if (write && counts.firstDaysNew > 0) {
        LineFile file = LineFile::readIfExists(path);
        for (const QDate &day : std::as_const(counts.firstDaysAdded)) {
            file.lines().append(formatDateText(day));
        }
        sortLinesDescending(file.lines());
        file.saveToFile(path);
    }
}

// Opens the file for reading when it is a regular file: a FIFO would wait for a writer for ever, and a
// pipe, terminal or device has no size to check before it is read.
int openRegularFile(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        throw EImportError(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw EImportError(QStringLiteral("通常のファイルではありません（パイプ、FIFO、装置は読み込めません）"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

ImportedRecords readImportFile(const QString &path, const QDate &today)
{
    QFile file;
    if (!file.open(openRegularFile(path), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        throw EImportError(file.errorString());
    }
    const QByteArray head = file.peek(HeadBytes);
    if (head.isEmpty()) {
        throw EImportError(QStringLiteral("ファイルが空です"));
    }
    const Kind kind = sniff(head);
    ImportedRecords records;
    if (kind == Kind::AppleHealth) {
        records = readAppleHealthFile(file, today);
    } else if (kind == Kind::Unknown) {
        throw EImportError(UnknownFormat);
    } else if (file.size() > MaxWholeFileBytes) {
        throw EImportError(
            QStringLiteral("ファイルが大きすぎます（この形式は %1 MiB まで読めます）").arg(MaxWholeFileBytes >> 20));
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            throw EImportError(file.errorString());
        }
        records = readByKind(kind, bytes);
    }
    records.today = today;
    keepPlausible(records);
    return records;
}

ImportedRecords readImportBytes(const QByteArray &bytes, const QDate &today)
{
    if (bytes.isEmpty()) {
        throw EImportError(QStringLiteral("ファイルが空です"));
    }
    const Kind kind = sniff(QByteArrayView(bytes).first(std::min(bytes.size(), HeadBytes)));
    ImportedRecords records = kind == Kind::AppleHealth ? readAppleHealthBytes(bytes, today) : readByKind(kind, bytes);
    records.today = today;
    keepPlausible(records);
    return records;
}

MergeCounts mergeImport(const QString &dataFolder, const ImportedRecords &records, bool write)
{
    MergeCounts counts;
    mergeFirstDays(dataFilePath(dataFolder, DataKind::FirstDays), records.firstDays, write, counts);
    const MemoMerge memos = mergeMemos(dataFilePath(dataFolder, DataKind::Memos), records.memos, write);
    counts.memosNew = memos.added;
    counts.memosAppended = memos.appended;
    counts.memosThere = memos.there;
    for (const auto &[position, reason] : memos.refused) {
        counts.memosRefused.append({position, reason});
    }
    const TemperatureMerge readings =
        mergeTemperatureReadings(dataFilePath(dataFolder, DataKind::Readings), records.readings, write);
    counts.readingsNew = int(readings.added.size());
    counts.readingsDiffering = int(readings.differing.size());
    counts.dayRecords = mergeDayRecords(dataFilePath(dataFolder, DataKind::DayRecords), records.dayRecords, write);
    return counts;
}

QString timedBackupPath(const QString &dataFolder, const QDateTime &now)
{
    return Backup::backupRoot(dataFolder) + Backup::timedBackupName(now, Backup::BackupPurpose::Import);
}

QString previewText(const ImportedRecords &records, const MergeCounts &counts, const QString &backupPath)
{
    // At most this many days are listed one by one; an export of decades adds hundreds.
    constexpr qsizetype ListedDays = 200;
    QStringList lines;
    lines << QStringLiteral("形式: %1").arg(records.format)
          << QStringLiteral("生理開始日: 新しく %1 件、登録済み %2 件")
                 .arg(counts.firstDaysNew)
                 .arg(counts.firstDaysThere);
    QStringList added;
    for (qsizetype i = 0; i < counts.firstDaysAdded.size() && i < ListedDays; ++i) {
        added << formatDateText(counts.firstDaysAdded[i]);
    }
    if (!added.isEmpty()) {
        lines << QStringLiteral("  加える生理開始日: %1").arg(added.join(QStringLiteral("、")));
        if (counts.firstDaysAdded.size() > ListedDays) {
            lines << QStringLiteral("  ほか %1 件").arg(counts.firstDaysAdded.size() - ListedDays);
        }
    }
    for (qsizetype i = 0; i < counts.firstDaysNear.size() && i < ListedDays; ++i) {
        const auto &[day, same] = counts.firstDaysNear[i];
        lines << QStringLiteral("  %1 は %2 と%3日違いのため、同じ生理として加えません")
                     .arg(formatDateText(day), formatDateText(same))
                     .arg(std::abs(same.daysTo(day)));
    }
    if (counts.firstDaysNear.size() > ListedDays) {
        lines << QStringLiteral("  ほか %1 件").arg(counts.firstDaysNear.size() - ListedDays);
    }
    lines << QStringLiteral("メモ: 新しく %1 件、追記 %2 件、同じメモあり %3 件")
                 .arg(counts.memosNew)
                 .arg(counts.memosAppended)
                 .arg(counts.memosThere)
          << QStringLiteral("基礎体温: 新しく %1 件、登録済みの値と違う %2 件（登録済みの値を残します）")
                 .arg(counts.readingsNew)
                 .arg(counts.readingsDiffering);
    if (records.outOfRangeCount > 0) {
        lines << QStringLiteral("日付が %1 より前か今日より後の記録: %2 件（読み込みません）")
                     .arg(formatDateText(FirstImportDay))
                     .arg(records.outOfRangeCount);
    }
    if (records.memosWithControls > 0) {
        lines << QStringLiteral("制御文字を取り除いたメモ: %1 件").arg(records.memosWithControls);
    }
    // One part per kind that the import brings or finds differing: "出血 新しく 12 件（違う 1 件）".
    static const char *const kindNames[] = {"出血",       "痛み", "鎮痛剤", "症状", "おりもの",
                                            "排卵検査薬", "ピル", "性交",   "体重"};
    QStringList kinds;
    for (size_t k = 0; k < DayRecordKeys.size(); ++k) {
        const int gained = counts.dayRecords.added[k];
        const int differing = counts.dayRecords.differing[k];
        if (gained + differing > 0) {
            kinds << QStringLiteral("%1 新しく %2 件%3")
                         .arg(QString::fromUtf8(kindNames[k]))
                         .arg(gained)
                         .arg(differing > 0 ? QStringLiteral("（違う %1 件）").arg(differing) : QString());
        }
    }
    lines << QStringLiteral("日々の記録: %1（登録済みの値を残します）")
                 .arg(kinds.isEmpty() ? QStringLiteral("なし") : kinds.join(QStringLiteral("、")));
    if (records.fieldsInMemos > 0) {
        lines << QStringLiteral("ここに項目のない記録: %1 件（その日のメモに書き足します）").arg(records.fieldsInMemos);
    }
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
    if (!backupPath.isEmpty() && counts.changesAnything()) {
        lines << QStringLiteral("読み込む前に、いまのデーターを %1 にバックアップします。").arg(backupPath);
    }
    // Text from the file (dates, values, reasons) must not reach a terminal as control characters.
    for (QString &line : lines) {
        line = escapeControls(line);
    }
    return lines.join(u'\n');
}
