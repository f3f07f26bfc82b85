#include "settings.h"

#include "datalock.h"
#include "datetext.h"
#include "errors.h"
#include "textfile.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace {

// Longest value a read returns: the 2048-unit buffer of the private-profile reader less its terminator.
constexpr qsizetype maxValueLength = 2047;

bool isIniBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isIniBlank(text[first])) {
        ++first;
    }
    while (last > first && isIniBlank(text[last - 1])) {
        --last;
    }
    return text.sliced(first, last - first).toString();
}

// The section name of a "[name]" line, trimmed; nothing for any other line.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = trimBlanks(line);
    if (!trimmed.startsWith(u'[')) {
        return std::nullopt;
    }
    qsizetype close = trimmed.indexOf(u']');
    if (close < 0) {
        close = trimmed.size();
    }
    return trimBlanks(QStringView(trimmed).sliced(1, close - 1));
}

// The key of a "key=value" line, trimmed; nothing for comments and lines without "=".
std::optional<QString> keyName(const QString &line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        return std::nullopt;
    }
    const QString key = trimBlanks(QStringView(line).first(eq));
    if (key.startsWith(u';')) {
        return std::nullopt;
    }
    return key;
}

int hexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct IniText
{
    QStringList lines;
    TextEncoding encoding = TextEncoding::Ansi;
    StoredLines stored;
    bool exists = false;
};

IniText iniFrom(const QByteArray &bytes)
{
    DecodedLines decoded = decodeTextLines(bytes);
    return {std::move(decoded.lines), decoded.encoding, std::move(decoded.stored), true};
}

// Where a key lies: the section header line (-1 when the section is missing), the key line (-1 when
// missing), and the line before which a new key of the section goes.
struct KeyPosition
{
    qsizetype section = -1;
    qsizetype key = -1;
    qsizetype insertAt = -1;
};

KeyPosition findKey(const QStringList &lines, const QString &section, const QString &key)
{
    KeyPosition pos;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionName(lines[i]);
        if (pos.section < 0) {
            if (name && sameName(*name, section)) {
                pos.section = i;
                pos.insertAt = i + 1;
            }
            continue;
        }
        if (name) {
            break;
        }
        // A new key follows the last non-blank line of its section, not the blank lines before the next.
        if (!trimBlanks(lines[i]).isEmpty()) {
            pos.insertAt = i + 1;
        }
        const std::optional<QString> k = keyName(lines[i]);
        if (k && sameName(*k, key)) {
            pos.key = i;
            break;
        }
    }
    return pos;
}

} // namespace

bool isPasswordKey(const QString &section, const QString &key)
{
    return (sameName(section, u"Mail Setting") || sameName(section, u"CalDAV")) && sameName(key, u"Pass");
}

bool parseIniInteger(const QString &text, int &value)
{
    qsizetype pos = 0;
    const qsizetype size = text.size();
    qint64 hex = 0;
    qsizetype digitsStart = -1;
    if (text.startsWith(u'$')) {
        digitsStart = 1;
    } else if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X"))) {
        digitsStart = 2;
    }
    if (digitsStart >= 0) {
        pos = digitsStart;
        if (pos == size) {
            return false;
        }
        for (; pos < size; ++pos) {
            const int digit = hexDigit(text[pos].unicode());
            if (digit < 0) {
                return false;
            }
            hex = hex * 16 + digit;
            if (hex > 0xFFFFFFFFLL) {
                return false;
            }
        }
        value = int(quint32(hex));
        return true;
    }

    bool negative = false;
    if (pos < size && (text[pos] == u'-' || text[pos] == u'+')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    if (pos == size) {
        return false;
    }
    qint64 number = 0;
    for (; pos < size; ++pos) {
        const char16_t c = text[pos].unicode();
        if (c < u'0' || c > u'9') {
            return false;
        }
        number = number * 10 + (c - u'0');
        if (number > 2147483648LL) {
            return false;
        }
    }
    if (number > (negative ? 2147483648LL : 2147483647LL)) {
        return false;
    }
    value = int(negative ? -number : number);
    return true;
}

IniFile::IniFile(QString path)
    : m_path(std::move(path))
{
}

namespace {

// Reads never fail: an unreadable file counts as a missing one.
IniText loadIni(const QString &path)
{
    IniText ini;
    QByteArray bytes;
    QString errorText;
    if (QFileInfo::exists(path) && readFileBytes(path, bytes, errorText)) {
        ini = iniFrom(bytes);
    }
    return ini;
}

} // namespace

QString IniFile::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const IniText ini = loadIni(m_path);
    const KeyPosition pos = findKey(ini.lines, section, key);
    if (pos.key < 0) {
        return defaultValue;
    }
    const QString &line = ini.lines[pos.key];
    QString value = trimBlanks(QStringView(line).sliced(line.indexOf(u'=') + 1));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front()) {
        value = value.sliced(1, value.size() - 2);
    }
    value.truncate(maxValueLength);
    return value;
}

int IniFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int value = 0;
    return parseIniInteger(readString(section, key, QString()), value) ? value : defaultValue;
}

bool IniFile::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    const QString fullPath = QFileInfo(m_path).absoluteFilePath();
    // The system's reason tells a full disk from a refused permission.
    const auto refused = [&fullPath](const QString &reason) {
        return EIniFileError(QStringLiteral("%1 に書き込めません。%2").arg(fullPath, reason));
    };
    const DataFolderLock lock(m_path);
    if (lock.busy()) {
        throw refused(DataFolderLock::busyText());
    }

    // A line break would end the line early and make the rest a line of its own: a key, or a section
    // with settings nobody chose. Such a value is refused before the file is touched.
    for (const QString *text : {&section, &key, &value}) {
        if (text->contains(u'\r') || text->contains(u'\n')) {
            throw refused(QStringLiteral("「%1」の値に改行は使えません。").arg(key));
        }
    }

    IniText ini;
    if (QFileInfo::exists(m_path)) {
        // Writing over a file that could not be read would drop its other settings.
        QByteArray bytes;
        QString errorText;
        if (!readFileBytes(m_path, bytes, errorText)) {
            throw refused(errorText);
        }
        ini = iniFrom(bytes);
    }

    const KeyPosition pos = findKey(ini.lines, section, key);
    if (pos.key >= 0) {
        // The key keeps its spelling in the file; only what follows "=" changes.
        const QString &line = ini.lines[pos.key];
        ini.lines[pos.key] = trimBlanks(QStringView(line).first(line.indexOf(u'='))) + u'=' + value;
    } else if (pos.section >= 0) {
        ini.lines.insert(pos.insertAt, key + u'=' + value);
    } else {
        ini.lines.append(u'[' + section + u']');
        ini.lines.append(key + u'=' + value);
    }

    QString errorText;
    TextEncoding encoding = ini.encoding;
    const QByteArray bytes = encodeTextLines(ini.lines, encoding, ini.stored);
    if (!writeFileAtomically(m_path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, errorText,
                             isPasswordKey(section, key))) {
        throw refused(errorText);
    }
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::removeKey(const QString &section, const QString &key)
{
    const DataFolderLock lock(m_path);
    const auto refused = [this](const QString &reason) {
        return EIniFileError(
            QStringLiteral("%1 に書き込めません。%2").arg(QFileInfo(m_path).absoluteFilePath(), reason));
    };
    if (lock.busy()) {
        throw refused(DataFolderLock::busyText());
    }
    QByteArray bytes;
    QString errorText;
    if (!QFileInfo::exists(m_path)) {
        return;
    }
    if (!readFileBytes(m_path, bytes, errorText)) {
        throw refused(errorText);
    }
    IniText ini = iniFrom(bytes);
    const KeyPosition pos = findKey(ini.lines, section, key);
    if (pos.key < 0) {
        return;
    }
    ini.lines.removeAt(pos.key);
    TextEncoding encoding = ini.encoding;
    if (!writeFileAtomically(m_path, encodeTextLines(ini.lines, encoding, ini.stored), std::nullopt, errorText)) {
        throw refused(errorText);
    }
}

namespace {

const QString ExcludedSection = QStringLiteral("Excluded Cycles");
const QString ExcludedKey = QStringLiteral("Days");

} // namespace

QSet<QDate> readExcludedCycles(const QString &settingPath)
{
    QSet<QDate> days;
    const QString value = IniFile(settingPath).readString(ExcludedSection, ExcludedKey, QString());
    for (const QString &piece : value.split(u',', Qt::SkipEmptyParts)) {
        try {
            days.insert(parseDateText(piece.trimmed()));
        } catch (const EConvertError &) {
        }
    }
    return days;
}

void writeExcludedCycles(const QString &settingPath, const QSet<QDate> &days)
{
    IniFile ini(settingPath);
    if (days.isEmpty()) {
        ini.removeKey(ExcludedSection, ExcludedKey);
        return;
    }
    QList<QDate> sorted(days.begin(), days.end());
    std::sort(sorted.begin(), sorted.end());
    QStringList texts;
    for (const QDate &day : sorted) {
        texts.append(formatDateText(day));
    }
    const QString value = texts.join(u',');
    if (value.size() > maxValueLength) {
        throw EIniFileError(QStringLiteral("%1 に書き込めません。計算に入れない周期は%2までです。")
                                .arg(QFileInfo(settingPath).absoluteFilePath())
                                .arg((maxValueLength + 1) / 11));
    }
    ini.writeString(ExcludedSection, ExcludedKey, value);
}
