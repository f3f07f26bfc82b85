#include "textfile.h"

#include "codepage.h"
#include "variable.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The mark has already been cut off: keep a second U+FEFF as text instead of dropping it too.
QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArray encodeWith(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::Default);
    return encoder.encode(text);
}

} // namespace

TextEncoding textEncodingOf(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return TextEncoding::Utf8;
    }
    if (bytes.startsWith("\xFF\xFE")) {
        return TextEncoding::Utf16LE;
    }
    if (bytes.startsWith("\xFE\xFF")) {
        return TextEncoding::Utf16BE;
    }
    return TextEncoding::Ansi;
}

DecodedText decodeTextFile(const QByteArray &bytes)
{
    const TextEncoding encoding = textEncodingOf(bytes);
    switch (encoding) {
    case TextEncoding::Utf8:
        return {decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3)), encoding};
    case TextEncoding::Utf16LE:
        return {decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2)), encoding};
    case TextEncoding::Utf16BE:
        return {decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2)), encoding};
    case TextEncoding::Ansi:
        break;
    }
    return {decodeAnsi(bytes), TextEncoding::Ansi};
}

QByteArray encodeTextFile(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return QByteArrayLiteral("\xEF\xBB\xBF") + encodeWith(QStringConverter::Utf8, text);
    case TextEncoding::Utf16LE:
        return QByteArrayLiteral("\xFF\xFE") + encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::Utf16BE:
        return QByteArrayLiteral("\xFE\xFF") + encodeWith(QStringConverter::Utf16BE, text);
    case TextEncoding::Ansi:
        break;
    }
    return encodeAnsi(text);
}

QStringList splitTextLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        const QChar c = text[pos];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.sliced(start, pos - start));
            pos += (c == u'\r' && pos + 1 < size && text[pos + 1] == u'\n') ? 2 : 1;
            start = pos;
        } else {
            ++pos;
        }
    }
    if (start < size) {
        lines.append(text.sliced(start));
    }
    return lines;
}

QString joinTextLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += u"\r\n";
    }
    return text;
}

bool readFileBytes(const QString &path, QByteArray &bytes, QString &errorText)
{
    if (QFileInfo(path).isDir()) {
        errorText = QString::fromLocal8Bit(std::strerror(EISDIR));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText = file.errorString();
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        errorText = file.errorString();
        return false;
    }
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes,
                         std::optional<QFileDevice::Permissions> newFilePermissions, QString &errorText)
{
    const QFileInfo target(path);
    if (target.isDir()) {
        errorText = QString::fromLocal8Bit(std::strerror(EISDIR));
        return false;
    }
    // The installed program's data folder in the user's home is made by the first save.
    if (!Variable::prepareFolderOf(path, errorText)) {
        return false;
    }
    QSaveFile file(path);
    // A file that must stay private (the settings with the mail password) is created without group or
    // other bits from the start, so nobody can open it in the moment before its bits are set.
    const bool restrictNew = !target.exists() && newFilePermissions.has_value();
    const mode_t oldMask = restrictNew ? ::umask(S_IRWXG | S_IRWXO) : 0;
    // Unbuffered, and the bytes go to the descriptor below: QSaveFile misses a write that fails while it
    // flushes its buffer (a full disk then renamed an empty file over the old one), and it names a write
    // cut short by the disk only as "Unknown error".
    const bool opened = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (restrictNew) {
        ::umask(oldMask);
    }
    if (!opened) {
        errorText = file.errorString();
        return false;
    }
    // The temporary file starts with default bits; the replaced file must not become more (or less)
    // readable than it was.
    if (target.exists()) {
        file.setPermissions(target.permissions());
    } else if (newFilePermissions) {
        file.setPermissions(*newFilePermissions);
    }
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(file.handle(), next, size_t(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errorText = QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC));
            file.cancelWriting();
            return false;
        }
        next += written;
        left -= written;
    }
    // QSaveFile ignores a failed sync, which is where some file systems first report a full disk or a
    // failing device; the old file must stay then.
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS) {
        errorText = QString::fromLocal8Bit(std::strerror(errno));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        errorText = file.errorString();
        return false;
    }
    return true;
}
