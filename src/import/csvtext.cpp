#include "csvtext.h"

#include "importrecords.h"

namespace {

// No tracker's CSV has more than a few dozen columns; a row of millions of commas would take memory
// without bound.
constexpr qsizetype MaxFields = 1000;

} // namespace

void forEachCsvRow(const QString &text, const std::function<void(const QStringList &fields, qint64 line)> &row)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    bool anyText = false; // whether the record holds anything, so blank lines are passed over
    qint64 line = 1;
    qint64 recordLine = 1;
    const qsizetype size = text.size();
    qsizetype recordChars = 0;
    const auto endRecord = [&] {
        fields.append(field);
        if (anyText || fields.size() > 1) {
            row(fields, recordLine);
        }
        fields.clear();
        field.clear();
        anyText = false;
        recordChars = 0;
    };
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (++recordChars > MaxRecordBytes || fields.size() >= MaxFields) {
            throw EImportError(recordTooLongReason());
        }
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < size && text[i + 1] == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                if (c == u'\n' || (c == u'\r' && (i + 1 >= size || text[i + 1] != u'\n'))) {
                    ++line;
                }
                field.append(c);
            }
            continue;
        }
        if (c == u'"') {
            quoted = true;
            anyText = true;
        } else if (c == u',') {
            fields.append(field);
            field.clear();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n') {
                ++i;
            }
            endRecord();
            ++line;
            recordLine = line;
        } else {
            field.append(c);
            anyText = true;
        }
    }
    if (anyText || !fields.isEmpty() || !field.isEmpty()) {
        endRecord();
    }
}
