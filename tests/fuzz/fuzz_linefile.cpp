// date.dat and dateMemo.dat as found on disk: any bytes, any mark, any line ends.
#include "errors.h"
#include "fuzzsupport.h"
#include "linefile.h"
#include "textfile.h"

#include <QFile>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        fuzzFail("cannot read back a saved file", path);
    }
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // The decoding and cutting on their own: no line holds a line end, and joining and cutting again
    // gives the same lines.
    const DecodedText decoded = decodeTextFile(bytes);
    const QStringList cut = splitTextLines(decoded.text);
    for (const QString &line : cut) {
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'), line);
    }
    FUZZ_CHECK(splitTextLines(joinTextLines(cut)) == cut, decoded.text);

    // The same through a real file. Saving what was read and reading it back is stable from the first
    // save on: what could not be decoded has become a replacement character by then.
    const QString path = fuzzFile("date.dat", data, size);
    LineFile file;
    file.loadFromFile(path);
    FUZZ_CHECK(file.lines() == cut && file.encoding() == decoded.encoding, path);

    // Saved unchanged, a file in code page 932 or UTF-8 gives back every byte it had, undecodable ones
    // included; only its line ends become CR LF.
    if (decoded.encoding != TextEncoding::Utf16LE && decoded.encoding != TextEncoding::Utf16BE) {
        const QString same = fuzzScratchDir() + QStringLiteral("/same.dat");
        file.saveToFile(same);
        const qsizetype mark = decoded.encoding == TextEncoding::Utf8 ? 3 : 0;
        QByteArray expected = bytes.first(mark);
        qsizetype start = mark;
        while (start < bytes.size()) {
            qsizetype end = start;
            while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') {
                ++end;
            }
            expected += bytes.sliced(start, end - start) + "\r\n";
            start = end + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
        }
        FUZZ_CHECK(fileBytes(same) == expected, same);
    }
    sortLinesDescending(file.lines());

    const QString copy = fuzzScratchDir() + QStringLiteral("/copy.dat");
    file.saveToFile(copy);
    const QByteArray saved = fileBytes(copy);
    LineFile again;
    again.loadFromFile(copy);
    FUZZ_CHECK(again.encoding() == file.encoding() && again.lines().size() == file.lines().size(), copy);
    again.saveToFile(copy);
    FUZZ_CHECK(fileBytes(copy) == saved, copy);
    return 0;
}
