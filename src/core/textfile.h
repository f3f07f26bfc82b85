#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Byte-level form of the program's text files (the two data files and the settings file).

// How a file's text was stored. A file without a byte-order mark is in the ANSI code page (932) unless
// it is valid UTF-8 with at least one byte above 0x7F (as a Linux text editor saves it): Utf8NoMark.
enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf8NoMark };

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::Ansi;
};

// The encoding the byte-order mark names (EF BB BF, then FF FE, then FE FF); without a mark Utf8NoMark
// for valid UTF-8 with a byte above 0x7F, otherwise Ansi.
TextEncoding textEncodingOf(QByteArrayView bytes);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool isValidUtf8(QByteArrayView bytes);

// Decodes one piece of a file (without its mark) in the file's encoding.
QString decodeTextBytes(QByteArrayView bytes, TextEncoding encoding);

// Chooses the encoding as textEncodingOf does, skips the mark and decodes the rest.
DecodedText decodeTextFile(const QByteArray &bytes);

// The bytes of a file: the encoding's mark first (none for Ansi and Utf8NoMark), then the text.
// Characters the code page cannot represent become "?".
QByteArray encodeTextFile(const QString &text, TextEncoding encoding);

// What a file's lines were read from, so that a save gives back every line nobody changed with exactly
// the bytes it had: a code page 932 character with two codes keeps its code, and a line that did not
// decode (U+FFFD in its text) keeps its undecodable bytes. Keyed by the decoded text of the line.
struct StoredLines
{
    struct Line
    {
        QByteArray bytes;    // the line's bytes without its line end
        bool decoded = true; // false: the bytes are not valid in the file's encoding
    };
    TextEncoding encoding = TextEncoding::Ansi;
    QHash<QString, QList<Line>> byText; // only lines whose bytes are not plainly their text re-encoded

    // Every line as read (sharing its text with the caller's copy) and where its bytes lie in `body`: a
    // line the caller never touched is still the same string and is written back without re-encoding.
    QByteArray body;
    QStringList readLines;
    QList<std::pair<qsizetype, qsizetype>> spans; // offset and length of each read line in body
};

struct DecodedLines
{
    QStringList lines;
    TextEncoding encoding = TextEncoding::Ansi;
    StoredLines stored;
};

// Chooses the encoding as decodeTextFile does and cuts the file into lines as splitTextLines does,
// decoding each line by itself and remembering the bytes of those that may not re-encode the same.
DecodedLines decodeTextLines(const QByteArray &bytes);

// The bytes of a whole file of lines, each followed by CR LF. A line whose text was read from the file
// gets its stored bytes back. Text that code page 932 cannot hold (an emoji, ©) moves an Ansi file to
// UTF-8 with a mark, which `encoding` then names; lines that were read are re-encoded for it, except
// undecodable ones, which keep their bytes. So does a file without a mark whose new bytes would be
// taken for another encoding when read again.
QByteArray encodeTextLines(const QStringList &lines, TextEncoding &encoding, const StoredLines &stored);

// Cuts text at every CR LF, lone CR or lone LF. A line end at the very end starts no further line, so
// "" gives no line and "a\r\n" one.
QStringList splitTextLines(const QString &text);

// Calls visit(line, start) for each line of body, the bytes of a code page 932 or UTF-8 file without its
// mark, start being the line's offset in body. Lines are cut as splitTextLines cuts the decoded text: in
// these encodings neither CR nor LF is ever part of a longer character.
template<typename Visit> void forEachByteLine(QByteArrayView body, Visit &&visit)
{
    const qsizetype size = body.size();
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && body[end] != '\r' && body[end] != '\n') {
            ++end;
        }
        visit(body.sliced(start, end - start), start);
        if (end < size && body[end] == '\r' && end + 1 < size && body[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
}

// Each line followed by CR LF, the last one included; no lines give the empty text.
QString joinTextLines(const QStringList &lines);

// The system's text for an errno value ("No space left on device").
QString systemErrorText(int error);

// The reason given for a data file that is a FIFO, a device or a socket: reading one could wait for
// ever, and replacing one would take it away from whatever uses it.
QString notRegularFileText();

// Reads a whole file. On failure returns false with the system's error text (a folder at the path,
// missing file, no permission, notRegularFileText() for anything but a regular file). Never waits for
// a writer: a FIFO is refused at once.
bool readFileBytes(const QString &path, QByteArray &bytes, QString &errorText);

// The file a save of path replaces: a data file kept elsewhere through a symbolic link (a synced folder)
// stays a link, and its target gets the new content.
QString finalTarget(const QString &path);

// The rename is only on disk once the folder is: without this a power loss soon after a save may bring
// back the old file (or, for a new file, none). Syncs the folder that holds path; a failure is passed
// over, as the file is in place already.
void syncFolderOf(const QByteArray &path);

// Replaces the file whole through a temporary file and a rename, so an interrupted write leaves either
// the old or the new content, never a mix. The temporary file (savetemps.h) is created 0600 (never through
// the umask) beside the file, or beside the target of a symbolic link; after the rename the folder is
// synced too, so the new content also survives a power loss. An existing file keeps its permission bits,
// less the group and other bits when dropGroupAndOther; a file created here gets newFilePermissions when
// given, otherwise stays 0600. Refuses a path that holds anything but a regular file.
bool writeFileAtomically(const QString &path, const QByteArray &bytes,
                         std::optional<QFileDevice::Permissions> newFilePermissions, QString &errorText,
                         bool dropGroupAndOther = false);
