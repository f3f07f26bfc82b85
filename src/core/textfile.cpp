#include "textfile.h"

#include "datacommit.h"

#include "backup.h"
#include "codepage.h"
#include "savetemps.h"
#include "variable.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const QByteArray utf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

// The mark has already been cut off: keep a second U+FEFF as text instead of dropping it too.
QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes, bool *valid = nullptr)
{
    // Stateless: an incomplete sequence at the end is an error and a replacement character, not
    // something kept back for a next call that never comes.
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (valid != nullptr) {
        *valid = !decoder.hasError();
    }
    return text;
}

QByteArray encodeWith(QStringConverter::Encoding encoding, const QString &text)
{
    QStringEncoder encoder(encoding, QStringConverter::Flag::Default);
    return encoder.encode(text);
}

qsizetype markSize(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return 3;
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE:
        return 2;
    case TextEncoding::Ansi:
    case TextEncoding::Utf8NoMark:
        break;
    }
    return 0;
}

QByteArray markOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
        return utf8Mark;
    case TextEncoding::Utf16LE:
        return QByteArrayLiteral("\xFF\xFE");
    case TextEncoding::Utf16BE:
        return QByteArrayLiteral("\xFE\xFF");
    case TextEncoding::Ansi:
    case TextEncoding::Utf8NoMark:
        break;
    }
    return {};
}

bool isUtf8(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8NoMark;
}

bool hasByteAbove7F(QByteArrayView bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
}

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *const end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            high = c == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        } else {
            return false;
        }
        if (end - p <= more || p[1] < low || p[1] > high) {
            return false;
        }
        for (int i = 2; i <= more; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) {
                return false;
            }
        }
        p += more + 1;
    }
    return true;
}

TextEncoding textEncodingOf(QByteArrayView bytes)
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
    // Japanese text in code page 932 is practically never valid UTF-8, while a file saved by a UTF-8
    // editor always is; plain ASCII reads alike either way and stays code page 932.
    if (hasByteAbove7F(bytes) && isValidUtf8(bytes)) {
        return TextEncoding::Utf8NoMark;
    }
    return TextEncoding::Ansi;
}

QString decodeTextBytes(QByteArrayView bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8NoMark:
        return decodeWith(QStringConverter::Utf8, bytes);
    case TextEncoding::Utf16LE:
        return decodeWith(QStringConverter::Utf16LE, bytes);
    case TextEncoding::Utf16BE:
        return decodeWith(QStringConverter::Utf16BE, bytes);
    case TextEncoding::Ansi:
        break;
    }
    return decodeAnsi(bytes.toByteArray());
}

DecodedText decodeTextFile(const QByteArray &bytes)
{
    const TextEncoding encoding = textEncodingOf(bytes);
    return {decodeTextBytes(QByteArrayView(bytes).sliced(markSize(encoding)), encoding), encoding};
}

QByteArray encodeTextFile(const QString &text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8:
    case TextEncoding::Utf8NoMark:
        return markOf(encoding) + encodeWith(QStringConverter::Utf8, text);
    case TextEncoding::Utf16LE:
        return markOf(encoding) + encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::Utf16BE:
        return markOf(encoding) + encodeWith(QStringConverter::Utf16BE, text);
    case TextEncoding::Ansi:
        break;
    }
    return encodeAnsi(text);
}

DecodedLines decodeTextLines(const QByteArray &bytes)
{
    DecodedLines result;
    result.encoding = textEncodingOf(bytes);
    result.stored.encoding = result.encoding;
    const QByteArrayView body = QByteArrayView(bytes).sliced(markSize(result.encoding));
    if (result.encoding == TextEncoding::Utf16LE || result.encoding == TextEncoding::Utf16BE) {
        // Every UTF-16 text reads back into the same bytes, so the lines need no bytes of their own.
        result.lines = splitTextLines(decodeTextBytes(body, result.encoding));
        return result;
    }
    AnsiCodec codec;
    result.stored.body = bytes.sliced(markSize(result.encoding));
    forEachByteLine(body, [&](QByteArrayView line, qsizetype start) {
        bool valid = true;
        QString text;
        if (isUtf8(result.encoding)) {
            text = decodeWith(QStringConverter::Utf8, line, &valid);
        } else {
            text = codec.decode(line, &valid);
        }
        // Only undecodable lines and characters with two codes would not re-encode into the same bytes.
        if (!valid || (!isUtf8(result.encoding) && !ansiBytesReencodeAlike(line))) {
            result.stored.byText[text].append({line.toByteArray(), valid});
        }
        result.stored.spans.append({start, line.size()});
        result.lines.append(std::move(text));
    });
    result.stored.readLines = result.lines;
    return result;
}

namespace {

// The file's bytes in `encoding`, or nothing when an Ansi file would lose a character.
std::optional<QByteArray> tryEncodeLines(const QStringList &lines, TextEncoding encoding, const StoredLines &stored)
{
    QByteArray out = markOf(encoding);
    out.reserve(stored.body.size() + 64);
    AnsiCodec codec;
    QHash<QString, qsizetype> used;
    const bool sameEncoding = encoding == stored.encoding;
    // The bytes of a line read from the file that is still the very same string, or nothing.
    qsizetype cursor = 0;
    QHash<const QChar *, qsizetype> readIndex;
    bool indexed = false;
    const auto untouched = [&](const QString &line) -> std::optional<QByteArrayView> {
        if (!sameEncoding || line.isEmpty() || stored.readLines.isEmpty()) {
            return std::nullopt;
        }
        qsizetype k = -1;
        // Lines mostly stay in order; the index is built only once they do not.
        if (cursor < stored.readLines.size() && stored.readLines[cursor].constData() == line.constData()) {
            k = cursor;
        } else {
            if (!indexed) {
                indexed = true;
                readIndex.reserve(stored.readLines.size());
                for (qsizetype i = 0; i < stored.readLines.size(); ++i) {
                    if (!stored.readLines[i].isEmpty()) {
                        readIndex.insert(stored.readLines[i].constData(), i);
                    }
                }
            }
            k = readIndex.value(line.constData(), -1);
        }
        if (k < 0 || stored.readLines[k].size() != line.size()) {
            return std::nullopt;
        }
        cursor = k + 1;
        const auto [start, length] = stored.spans[k];
        return QByteArrayView(stored.body).sliced(start, length);
    };
    const QByteArray lineEnd = encodeTextFile(QStringLiteral("\r\n"), encoding).sliced(markSize(encoding));
    for (const QString &line : lines) {
        if (const std::optional<QByteArrayView> same = untouched(line)) {
            out += *same;
            out += lineEnd;
            continue;
        }
        const QByteArray *original = nullptr;
        bool decoded = true;
        if (!stored.byText.isEmpty()) {
            const auto it = stored.byText.constFind(line);
            if (it != stored.byText.constEnd()) {
                // Equal texts are given their stored bytes in the order they were read.
                qsizetype &next = used[line];
                const StoredLines::Line &entry = it->at(std::min(next, it->size() - 1));
                ++next;
                original = &entry.bytes;
                decoded = entry.decoded;
            }
        }
        if (original != nullptr && (sameEncoding || !decoded)) {
            out += *original;
        } else if (isUtf8(encoding)) {
            out += encodeWith(QStringConverter::Utf8, line);
        } else if (encoding == TextEncoding::Ansi) {
            std::optional<QByteArray> bytes = codec.encodeFaithfully(line);
            if (!bytes) {
                return std::nullopt;
            }
            out += *bytes;
        } else {
            out += encodeTextFile(line, encoding).sliced(markSize(encoding));
        }
        out += lineEnd;
    }
    return out;
}

} // namespace

QByteArray encodeTextLines(const QStringList &lines, TextEncoding &encoding, const StoredLines &stored)
{
    std::optional<QByteArray> bytes = tryEncodeLines(lines, encoding, stored);
    // A file without a mark must still be read in its own encoding: code page 932 text that now begins
    // with EF BB BF, or that no longer holds anything but valid UTF-8 (after a line was deleted or sorted
    // to the front), would be read back as other text.
    if (bytes && markSize(encoding) == 0 && textEncodingOf(*bytes) != encoding) {
        bytes.reset();
    }
    if (bytes) {
        return *bytes;
    }
    // Only UTF-8 keeps what was typed; the mark tells every reader, the original platform's included.
    // (The mark is not the start of any line's text here: a U+FEFF there stays text after it.)
    encoding = TextEncoding::Utf8;
    return *tryEncodeLines(lines, encoding, stored);
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

QString notRegularFileText()
{
    return QStringLiteral("通常のファイルではありません");
}

QString systemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool readFileBytes(const QString &path, QByteArray &bytes, QString &errorText)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait until someone opens it for writing.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        errorText = systemErrorText(errno);
        return false;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        errorText = systemErrorText(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        errorText = S_ISDIR(info.st_mode) ? systemErrorText(EISDIR) : notRegularFileText();
        ::close(fd);
        return false;
    }
    QByteArray data;
    data.reserve(qsizetype(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            errorText = systemErrorText(errno);
            ::close(fd);
            return false;
        }
        if (count == 0) {
            break;
        }
        data.append(buffer, count);
    }
    ::close(fd);
    bytes = std::move(data);
    return true;
}

namespace {

mode_t modeOf(QFileDevice::Permissions permissions)
{
    mode_t mode = 0;
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR}, {QFileDevice::WriteOwner, S_IWUSR}, {QFileDevice::ExeOwner, S_IXUSR},
        {QFileDevice::ReadGroup, S_IRGRP}, {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH}, {QFileDevice::WriteOther, S_IWOTH}, {QFileDevice::ExeOther, S_IXOTH}};
    for (const auto &[permission, bit] : bits) {
        if (permissions.testFlag(permission)) {
            mode |= bit;
        }
    }
    return mode;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            if (written == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

} // namespace

QString finalTarget(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth) {
        info.setFile(info.symLinkTarget());
    }
    return info.isSymLink() ? path : info.filePath();
}

void syncFolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes,
                         std::optional<QFileDevice::Permissions> newFilePermissions, QString &errorText,
                         bool dropGroupAndOther)
{
    const QString target = finalTarget(path);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing = {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        errorText = systemErrorText(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        errorText = notRegularFileText();
        return false;
    }
    // The installed program's data folder in the user's home is made by the first save.
    if (!Variable::prepareFolderOf(path, errorText)) {
        return false;
    }
    // Every data file passes here: the day's first change copies the old files to backup/ first.
    Backup::beforeDataFileWrite(path);
    // mkostemp creates the file with O_CREAT | O_EXCL and mode 0600 whatever the umask, so nobody can
    // open it before its bits are final, and no process-wide umask is switched while another thread
    // may be creating files.
    QByteArray temporary = temporaryFileTemplate(targetName);
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        errorText = systemErrorText(errno);
        return false;
    }
    const auto fail = [&](int error) {
        errorText = systemErrorText(error);
        ::close(fd);
        ::unlink(temporary.constData());
        return false;
    };
    // The replaced file keeps its bits (less group and other when it is to be made private); a new one
    // gets newFilePermissions, or stays 0600.
    mode_t mode = S_IRUSR | S_IWUSR;
    if (exists) {
        mode = existing.st_mode & 07777;
        if (dropGroupAndOther) {
            mode &= ~mode_t(S_IRWXG | S_IRWXO);
        }
    } else if (newFilePermissions) {
        mode = modeOf(*newFilePermissions);
    }
    if (::fchmod(fd, mode) != 0) {
        return fail(errno);
    }
    if (!writeAll(fd, bytes)) {
        return fail(errno);
    }
    // Some file systems first report a full disk or a failing device here; the old file must stay then.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        return fail(errno);
    }
    if (::close(fd) != 0 && errno != EINTR) {
        const int error = errno;
        ::unlink(temporary.constData());
        errorText = systemErrorText(error);
        return false;
    }
    // An import or a restore replaces its files together, once every one of them is written.
    if (DataFilesCommit::takeOver(path, temporary, targetName)) {
        return true;
    }
    if (::rename(temporary.constData(), targetName.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        errorText = systemErrorText(error);
        return false;
    }
    syncFolderOf(targetName);
    return true;
}
