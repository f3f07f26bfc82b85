#include "memofile.h"

#include "datetext.h"
#include "errors.h"
#include "linefile.h"
#include "textfile.h"

#include <QHash>

#include <map>

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

bool isBlankMemoLine(QStringView line)
{
    qsizetype pos = 0;
    while (pos < line.size() && isBlank(line[pos])) {
        ++pos;
    }
    return pos == line.size() || line[pos].unicode() == 0;
}

int FindMemoLine(const QStringList &lines, const QDate &day)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isBlankMemoLine(lines[i])) {
            continue;
        }
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

QString memoTextReadBack(const QDate &day, const QString &text)
{
    QString back = splitMemoLine(BuildMemoLine(day, text)).value(1);
    return back.replace(lineBreakMark, QStringLiteral("\r\n"));
}

std::optional<QString> memoNotKeptNotice(const QDate &day, const QString &text)
{
    // The typed text with its line breaks as the file gives them back, so that only real losses differ.
    const QString typed = joinTextLines(splitTextLines(text + u'x')).chopped(3);
    const QString back = memoTextReadBack(day, text);
    if (back == typed) {
        return std::nullopt;
    }
    // "$$" and CR LF are both two characters long and the stored line cannot tell them apart, so the read-back
    // text has the typed one's length and the lost characters sit where the two differ.
    bool doubled = false;
    bool beforeBreak = false;
    QStringList lineNumbers;
    int line = 1;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed[i] == u'\n') {
            ++line;
        }
        if (typed[i] != u'$' || (i < back.size() && back[i] == u'$')) {
            continue;
        }
        const QChar next = i + 1 < typed.size() ? typed[i + 1] : QChar();
        doubled = doubled || next == u'$';
        beforeBreak = beforeBreak || next == u'\r';
        if (!lineNumbers.contains(QString::number(line))) {
            lineNumbers.append(QString::number(line));
        }
    }
    QStringList kinds;
    if (doubled) {
        kinds.append(QStringLiteral("続けて書いた「$$」"));
    }
    if (beforeBreak) {
        kinds.append(QStringLiteral("改行の直前の「$」"));
    }
    if (kinds.isEmpty()) {
        kinds.append(QStringLiteral("一部の文字"));
    }
    return QStringLiteral(
               "このメモは書いたとおりには保存できません。メモファイルは改行を「$$」と書くため、%1は"
               "読み戻すと改行に変わります（%2行目）。「$」を全角の「＄」にするなどしてから保存してください。")
        .arg(kinds.join(QStringLiteral("と")), lineNumbers.join(QStringLiteral("、")));
}

void SaveMemo(const QString &memoPath, const QDate &day, const QString &text)
{
    const auto lock = LineFile::lockForUpdate(memoPath);
    LineFile file = LineFile::readIfExists(memoPath);
    const int p = FindMemoLine(file.lines(), day);
    const QString line = BuildMemoLine(day, text);
    QStringList &lines = file.lines();
    if (p < 0) {
        lines.append(line);
    } else {
        lines[p] = line;
    }
    sortMemoLines(lines);
    file.saveToFile(memoPath);
}

void DeleteMemo(const QString &memoPath, const QDate &day)
{
    const auto lock = LineFile::lockForUpdate(memoPath);
    LineFile file = LineFile::readIfExists(memoPath);
    const int p = FindMemoLine(file.lines(), day);
    if (p >= 0) {
        file.lines().removeAt(p);
    }
    file.saveToFile(memoPath);
}

QList<QDate> ReadMemoDays(const QString &memoPath)
{
    const QByteArray bytes = LineFile::readBytesIfExists(memoPath);
    const TextEncoding encoding = textEncodingOf(bytes);
    QList<QDate> days;
    if (encoding == TextEncoding::Utf16LE || encoding == TextEncoding::Utf16BE) {
        for (const QString &line : splitTextLines(decodeTextFile(bytes).text)) {
            if (!isBlankMemoLine(line)) {
                days.append(parseDateText(memoDayField(line)));
            }
        }
        return days;
    }
    // Only the days are needed, and decoding the memo texts through ICU was most of the work of a month
    // step.
    const QByteArrayView body = QByteArrayView(bytes).sliced(encoding == TextEncoding::Utf8 ? 3 : 0);
    forEachByteLine(body, [&](QByteArrayView line, qsizetype) {
        // A line that begins with a printable ASCII run up to a comma has that run as its day (it reads
        // the same in every encoding here); any other line is decoded and split as the text would be.
        qsizetype dayEnd = 0;
        while (dayEnd < line.size() && line[dayEnd] > ' ' && line[dayEnd] < 0x7F && line[dayEnd] != ',' &&
               line[dayEnd] != '"') {
            ++dayEnd;
        }
        if (dayEnd > 0 && dayEnd < line.size() && line[dayEnd] == ',') {
            days.append(parseDateText(QString::fromLatin1(line.first(dayEnd))));
        } else {
            const QString text = decodeTextBytes(line, encoding);
            if (!isBlankMemoLine(text)) {
                days.append(parseDateText(memoDayField(text)));
            }
        }
    });
    return days;
}

QString memoDayField(const QString &line)
{
    // Every line the program writes starts with an unquoted day followed by a comma; that day is field 0
    // as the full split would cut it, found without cutting the (possibly long) memo text. Anything else
    // (leading blanks, quotes, no comma) goes through the full split.
    qsizetype end = 0;
    while (end < line.size() && line[end] > QLatin1Char(' ') && line[end] != QLatin1Char(',') &&
           line[end] != QLatin1Char('"')) {
        ++end;
    }
    if (end > 0 && end < line.size() && line[end] == QLatin1Char(',')) {
        return line.first(end);
    }
    const QStringList fields = splitMemoLine(line);
    if (fields.isEmpty()) {
        throw EListError::indexOutOfRange(0);
    }
    return fields.front();
}

void DeleteMemoLines(const QString &memoPath, QList<CheckedEntry> &shown)
{
    // Field 0 as text: a hand-written 2011/3/5 is listed as 2011/03/05 and so is not removed.
    deleteCheckedLines(
        memoPath, shown, [](const QString &line, const QString &text) { return memoDayField(line) == text; },
        [](const QString &line) { return !isBlankMemoLine(line); });
}

void sortMemoLines(QStringList &lines)
{
    QList<qsizetype> memoSlots;
    QStringList memoLines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!isBlankMemoLine(lines[i])) {
            memoSlots.append(i);
            memoLines.append(lines[i]);
        }
    }
    sortLinesDescending(memoLines);
    for (qsizetype k = 0; k < memoSlots.size(); ++k) {
        lines[memoSlots[k]] = memoLines[k];
    }
}

namespace {

QString withCrLfBreaks(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

// One day's memo while memos are merged into it: its text, its lines and where each line stands, so
// that asking whether it holds a block of lines costs the block's rarest line, not the memo's length.
class MemoOfDay final
{
public:
    explicit MemoOfDay(qsizetype line = -1)
        : m_line(line)
    {
    }

    qsizetype fileLine() const { return m_line; }
    void setFileLine(qsizetype line) { m_line = line; }
    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_lines.isEmpty(); }
    const QString &lastLine() const { return m_lines.last(); }
    bool changed() const { return m_changed; }

    void load(const QString &text)
    {
        m_text = text;
        for (const QString &line : text.split(QStringLiteral("\r\n"))) {
            addLine(line);
        }
    }

    bool holds(const QStringList &block) const
    {
        // The block's line with the fewest places in the memo: only its places can start a match.
        qsizetype rarest = 0;
        qsizetype fewest = -1;
        for (qsizetype j = 0; j < block.size(); ++j) {
            const auto found = m_places.constFind(block[j]);
            const qsizetype count = found == m_places.constEnd() ? 0 : found->size();
            if (count == 0) {
                return false;
            }
            if (fewest < 0 || count < fewest) {
                fewest = count;
                rarest = j;
            }
        }
        for (const qsizetype place : m_places.value(block[rarest])) {
            const qsizetype start = place - rarest;
            if (start < 0 || start + block.size() > m_lines.size()) {
                continue;
            }
            bool same = true;
            for (qsizetype j = 0; j < block.size() && same; ++j) {
                same = m_lines[start + j] == block[j];
            }
            if (same) {
                return true;
            }
        }
        return false;
    }

    void append(const QString &text, const QStringList &block)
    {
        m_text += m_lines.isEmpty() ? text : QStringLiteral("\r\n") + text;
        for (const QString &line : block) {
            addLine(line);
        }
        m_changed = true;
    }

private:
    void addLine(const QString &line)
    {
        m_places[line].append(m_lines.size());
        m_lines.append(line);
    }

    qsizetype m_line;
    QString m_text;
    QStringList m_lines;
    QHash<QString, QList<qsizetype>> m_places;
    bool m_changed = false;
};

} // namespace

MemoMerge mergeMemoLines(QStringList &lines, const QList<DayMemo> &incoming)
{
    // The first line of each day; a line whose day cannot be read stays as it is.
    QHash<QDate, qsizetype> lineOf;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (isBlankMemoLine(lines[i])) {
            continue;
        }
        try {
            const QDate day = parseDateText(memoDayField(lines[i]));
            if (day.isValid() && !lineOf.contains(day)) {
                lineOf.insert(day, i);
            }
        } catch (const AppError &) {
        }
    }
    MemoMerge merge;
    std::map<QDate, MemoOfDay> days; // the days the memos touch, read from their lines when first met
    for (qsizetype k = 0; k < incoming.size(); ++k) {
        const QDate day = incoming[k].day;
        const QString text = withCrLfBreaks(incoming[k].text);
        auto [memo, fresh] = days.try_emplace(day, lineOf.value(day, -1));
        if (fresh && memo->second.fileLine() >= 0) {
            QString stored = splitMemoLine(lines[memo->second.fileLine()]).value(1);
            if (!stored.isEmpty()) {
                memo->second.load(stored.replace(lineBreakMark, QStringLiteral("\r\n")));
            }
        }
        MemoOfDay &ofDay = memo->second;
        const QStringList block = text.split(QStringLiteral("\r\n"));
        if (!ofDay.isEmpty() && ofDay.holds(block)) {
            ++merge.there;
            continue;
        }
        std::optional<QString> notice = memoNotKeptNotice(day, text);
        if (!notice && !ofDay.isEmpty() && ofDay.lastLine().endsWith(u'$')) {
            // The "$" would stand right before the new line break and come back as one.
            notice = memoNotKeptNotice(day, ofDay.lastLine() + QStringLiteral("\r\n"));
        }
        if (notice) {
            merge.refused.append({k + 1, *notice});
            continue;
        }
        ++(ofDay.isEmpty() ? merge.added : merge.appended);
        ofDay.append(text, block);
    }
    bool changed = false;
    for (auto &[day, memo] : days) {
        if (!memo.changed()) {
            continue;
        }
        changed = true;
        if (memo.fileLine() >= 0) {
            lines[memo.fileLine()] = BuildMemoLine(day, memo.text());
        } else {
            lines.append(BuildMemoLine(day, memo.text()));
        }
    }
    if (changed) {
        sortMemoLines(lines);
    }
    return merge;
}

MemoMerge mergeMemos(const QString &memoPath, const QList<DayMemo> &incoming, bool write)
{
    const auto lock = write ? LineFile::lockForUpdate(memoPath) : nullptr;
    LineFile file = LineFile::readIfExists(memoPath);
    const MemoMerge merge = mergeMemoLines(file.lines(), incoming);
    if (write && merge.changesAnything()) {
        file.saveToFile(memoPath);
    }
    return merge;
}
