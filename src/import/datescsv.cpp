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
    struct Row
    {
        QStringList fields;
        qint64 line;
    };
    QList<Row> rows;
    forEachCsvRow(text, [&](const QStringList &fields, qint64 line) { rows.append({fields, line}); });
    // The date column: the first one in which some row holds a date.
    qsizetype dateColumn = -1;
    for (const Row &row : rows) {
        for (qsizetype i = 0; i < row.fields.size() && (dateColumn < 0 || i < dateColumn); ++i) {
            if (parseImportDate(row.fields[i]).isValid()) {
                dateColumn = i;
                break;
            }
        }
    }
    if (dateColumn < 0) {
        throw EImportError(QStringLiteral("日付の列が見つかりません"));
    }
    qsizetype memoColumn = -1;
    bool headerSeen = false;
    for (const Row &row : rows) {
        const QString dateText = dateColumn < row.fields.size() ? row.fields[dateColumn] : QString();
        const QDate day = parseImportDate(dateText);
        if (!day.isValid()) {
            // The first row without a date before any date is the header.
            if (!headerSeen && records.firstDays.isEmpty() && records.skippedCount == 0) {
                headerSeen = true;
                for (qsizetype i = 0; i < row.fields.size(); ++i) {
                    if (memoColumn < 0 && isMemoHeading(row.fields[i])) {
                        memoColumn = i;
                    }
                }
                continue;
            }
            records.skip(row.line, QStringLiteral("日付 \"%1\" が読めません").arg(dateText.left(40)));
            continue;
        }
        records.firstDays.append(day);
        if (memoColumn >= 0 && memoColumn < row.fields.size() && !row.fields[memoColumn].trimmed().isEmpty()) {
            records.memos.append({day, row.fields[memoColumn]});
        }
    }
    return records;
}
