#include "memofile.h"

#include "datetext.h"
#include "errors.h"
#include "linefile.h"

namespace {

bool isBlank(QChar c)
{
    return c.unicode() >= 0x0001 && c.unicode() <= 0x0020;
}

const QString lineBreakMark = QStringLiteral("$$");

} // namespace

QStringList splitMemoLine(const QString &line)
{
    // Outside quotes a NUL ends the line, as it ends a C string; inside quotes it is text.
    const auto atEnd = [&line](qsizetype pos) { return pos >= line.size() || line[pos].unicode() == 0; };
    const auto skipBlanks = [&line](qsizetype &pos) {
        while (pos < line.size() && isBlank(line[pos])) {
            ++pos;
        }
    };

    QStringList fields;
    qsizetype pos = 0;
    skipBlanks(pos);
    while (!atEnd(pos)) {
        QString field;
        if (line[pos] == u'"') {
            ++pos;
            while (pos < line.size()) {
                if (line[pos] == u'"') {
                    if (pos + 1 < line.size() && line[pos + 1] == u'"') {
                        field += u'"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                field += line[pos++];
            }
        } else {
            const qsizetype start = pos;
            while (!atEnd(pos) && line[pos] != u',' && !isBlank(line[pos])) {
                ++pos;
            }
            field = line.sliced(start, pos - start);
        }
        fields.append(field);
        skipBlanks(pos);
        if (!atEnd(pos) && line[pos] == u',') {
            if (atEnd(pos + 1)) {
                fields.append(QString());
            }
            ++pos;
            skipBlanks(pos);
        }
    }
    return fields;
}

int FindMemoLine(const QStringList &lines, const QDate &day)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringList fields = splitMemoLine(lines[i]);
        if (parseDateText(fields.value(0)) == day) {
            return int(i);
        }
    }
    return -1;
}

QString BuildMemoLine(const QDate &day, const QString &text)
{
    QString stored;
    stored.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            stored += lineBreakMark;
        } else if (c == u'\n') {
            stored += lineBreakMark;
        } else if (c == u'"') {
            stored += QStringLiteral("\"\"");
        } else {
            stored += c;
        }
    }
    return formatDateText(day) + QStringLiteral(",\"") + stored + u'"';
}

std::optional<QString> LoadMemo(const QString &memoPath, const QDate &day)
{
    const LineFile file = LineFile::readIfExists(memoPath);
    const int p = FindMemoLine(file.lines(), day);
    if (p < 0) {
        return std::nullopt;
    }
    QString text = splitMemoLine(file.lines()[p]).value(1);
    return text.replace(lineBreakMark, QStringLiteral("\r\n"));
}

void SaveMemo(const QString &memoPath, const QDate &day, const QString &text)
{
    LineFile file = LineFile::readIfExists(memoPath);
    const int p = FindMemoLine(file.lines(), day);
    const QString line = BuildMemoLine(day, text);
    if (p < 0) {
        file.lines().append(line);
    } else {
        file.lines()[p] = line;
    }
    sortLinesDescending(file.lines());
    file.saveToFile(memoPath);
}

void DeleteMemo(const QString &memoPath, const QDate &day)
{
    LineFile file = LineFile::readIfExists(memoPath);
    const int p = FindMemoLine(file.lines(), day);
    if (p >= 0) {
        file.lines().removeAt(p);
    }
    file.saveToFile(memoPath);
}

void DeleteMemoLines(const QString &memoPath, QList<CheckedEntry> &shown)
{
    // Field 0 as text: a hand-written 2011/3/5 is listed as 2011/03/05 and so is not removed.
    deleteCheckedLines(memoPath, shown,
                       [](const QString &line, const QString &text) { return splitMemoLine(line).value(0) == text; });
}
