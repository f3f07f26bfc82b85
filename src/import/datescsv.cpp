#include "csvtext.h"
#include "readers.h"

namespace {

bool isMemoHeading(const QString &text)
{
    const QString name = text.trimmed().toLower();
    return name == QStringLiteral("メモ") || name == QStringLiteral("memo") || name == QStringLiteral("note") ||
           name == QStringLiteral("notes") || name == QStringLiteral("note.value");
}

} // namespace

ImportedRecords readDatesCsv(const QString &text)
{
    ImportedRecords records;
    records.format = QStringLiteral("日付の CSV");
    records.positionUnit = QStringLiteral("行目");
    // The date column: the first one in which some row holds a date. Two passes over the text, so the
    // rows are never all held at once.
    qsizetype dateColumn = -1;
    forEachCsvRow(text, [&](const QStringList &fields, qint64) {
        for (qsizetype i = 0; i < fields.size() && (dateColumn < 0 || i < dateColumn); ++i) {
            if (parseImportDate(fields[i]).isValid()) {
                dateColumn = i;
                break;
            }
        }
    });
    if (dateColumn < 0) {
        throw EImportError(QStringLiteral("日付の列が見つかりません"));
    }
    qsizetype memoColumn = -1;
    bool headerSeen = false;
    forEachCsvRow(text, [&](const QStringList &fields, qint64 line) {
        const QString dateText = dateColumn < fields.size() ? fields[dateColumn] : QString();
        const QDate day = parseImportDate(dateText);
        if (!day.isValid()) {
            // The first row without a date before any date is the header.
            if (!headerSeen && records.firstDays.isEmpty() && records.skippedCount == 0) {
                headerSeen = true;
                for (qsizetype i = 0; i < fields.size(); ++i) {
                    if (memoColumn < 0 && isMemoHeading(fields[i])) {
                        memoColumn = i;
                    }
                }
                return;
            }
            records.skip(line, QStringLiteral("日付 \"%1\" が読めません").arg(dateText.left(40)));
            return;
        }
        records.firstDays.append(day);
        if (memoColumn >= 0 && memoColumn < fields.size() && !fields[memoColumn].trimmed().isEmpty()) {
            records.memos.append({day, fields[memoColumn]});
        }
    });
    return records;
}
