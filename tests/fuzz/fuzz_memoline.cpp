// Lines of dateMemo.dat: cutting a line into fields, and a memo's way into a line and back.
#include "errors.h"
#include "fuzzsupport.h"
#include "memofile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);

    // Any line: fields never grow beyond the line, and finding a day either works or says why.
    const QStringList fields = splitMemoLine(text);
    qsizetype total = 0;
    for (const QString &field : fields) {
        total += field.size();
    }
    FUZZ_CHECK(total <= text.size(), text);
    try {
        FindMemoLine(QStringList{text}, QDate(2011, 3, 5));
    } catch (const EConvertError &) {
    }

    // The same bytes as a memo: its line stays one line of two fields and gives the memo back, with
    // every line break as CR LF. "$" is left out because "$$" is the stored form of a line break.
    if (!text.contains(u'$')) {
        const QDate day(2011, 3, 5);
        const QString line = BuildMemoLine(day, text);
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'), line);
        const QStringList back = splitMemoLine(line);
        FUZZ_CHECK(back.size() == 2 && back[0] == QStringLiteral("2011/03/05"), line);
        QString expected = text;
        expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar(u'\r'), QChar(u'\n'));
        expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        QString memo = back[1];
        FUZZ_CHECK(memo.replace(QStringLiteral("$$"), QStringLiteral("\r\n")) == expected, line);
        FUZZ_CHECK(FindMemoLine(QStringList{line}, day) == 0, line);
    }
    return 0;
}
