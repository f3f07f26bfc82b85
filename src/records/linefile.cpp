#include "linefile.h"

#include "errors.h"

#include <QFileInfo>

#include <algorithm>

LineFile LineFile::readIfExists(const QString &path)
{
    LineFile file;
    // A folder at the path is not "no file": loading it reports the error instead of hiding it.
    if (QFileInfo::exists(path)) {
        file.loadFromFile(path);
    }
    return file;
}

namespace {

QByteArray readBytes(const QString &path)
{
    QByteArray bytes;
    QString errorText;
    if (!readFileBytes(path, bytes, errorText)) {
        throw EFileError(QStringLiteral("ファイル %1 は開けません。 %2 ").arg(path, errorText));
    }
    return bytes;
}

} // namespace

QByteArray LineFile::readBytesIfExists(const QString &path)
{
    return QFileInfo::exists(path) ? readBytes(path) : QByteArray();
}

void LineFile::loadFromFile(const QString &path)
{
    DecodedLines decoded = decodeTextLines(readBytes(path));
    m_lines = std::move(decoded.lines);
    m_encoding = decoded.encoding;
    m_stored = std::move(decoded.stored);
}

std::unique_ptr<DataFolderLock> LineFile::lockForUpdate(const QString &path)
{
    auto lock = std::make_unique<DataFolderLock>(path);
    if (lock->busy()) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, DataFolderLock::busyText()));
    }
    return lock;
}

void LineFile::saveToFile(const QString &path)
{
    QString errorText;
    TextEncoding encoding = m_encoding;
    const QByteArray bytes = encodeTextLines(m_lines, encoding, m_stored);
    // A woman's cycle and her memos are nobody else's business.
    if (!writeFileAtomically(path, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner, errorText)) {
        throw EFileError(QStringLiteral("ファイル \"%1\" を作成できません。%2").arg(path, errorText));
    }
    m_encoding = encoding;
}

namespace {

char16_t upperAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// Plain order of the data files: negative when a < b.
int compareLines(const QString &a, const QString &b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const char16_t ca = upperAscii(a[i].unicode());
        const char16_t cb = upperAscii(b[i].unicode());
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

int CompareLinesDescending(const QString &a, const QString &b)
{
    return compareLines(b, a);
}

void sortLinesDescending(QStringList &lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const QString &a, const QString &b) { return CompareLinesDescending(a, b) < 0; });
}
