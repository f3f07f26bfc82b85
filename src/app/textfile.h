#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <optional>

// Byte-level form of the program's text files (the two data files and the settings file).

// How a file's text was stored. Files without a byte-order mark are in the ANSI code page (932).
enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

struct DecodedText
{
    QString text;
    TextEncoding encoding = TextEncoding::Ansi;
};

// The encoding the byte-order mark names (EF BB BF, then FF FE, then FE FF); Ansi without a mark.
TextEncoding textEncodingOf(const QByteArray &bytes);

// Chooses the encoding by the byte-order mark (EF BB BF, then FF FE, then FE FF), skips the mark and
// decodes the rest; without a mark the bytes are code page 932.
DecodedText decodeTextFile(const QByteArray &bytes);

// The bytes of a file: the encoding's mark first (none for Ansi), then the text. Characters the code
// page cannot represent become "?".
QByteArray encodeTextFile(const QString &text, TextEncoding encoding);

// Cuts text at every CR LF, lone CR or lone LF. A line end at the very end starts no further line, so
// "" gives no line and "a\r\n" one.
QStringList splitTextLines(const QString &text);

// Each line followed by CR LF, the last one included; no lines give the empty text.
QString joinTextLines(const QStringList &lines);

// Reads a whole file. On failure returns false with the system's error text (a folder at the path,
// missing file, no permission...).
bool readFileBytes(const QString &path, QByteArray &bytes, QString &errorText);

// Replaces the file whole through a temporary file and a rename, so an interrupted write leaves either
// the old or the new content, never a mix. An existing file keeps its permission bits; a file created
// here gets newFilePermissions when given (otherwise the usual 0666 less the umask).
bool writeFileAtomically(const QString &path, const QByteArray &bytes,
                         std::optional<QFileDevice::Permissions> newFilePermissions, QString &errorText);
