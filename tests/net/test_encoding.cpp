#include "base64.h"
#include "jis.h"
#include "suites.h"

#include <QTest>

namespace {

QString latin1Text(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}

const QByteArray kToJis("\x1b$B");
const QByteArray kToAscii("\x1b(B");

} // namespace

class EncodingTest : public QObject
{
    Q_OBJECT

private slots:
    void base64_rfc4648Vectors_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("f") << u"f"_qs << u"Zg=="_qs;
        QTest::newRow("fo") << u"fo"_qs << u"Zm8="_qs;
        QTest::newRow("foo") << u"foo"_qs << u"Zm9v"_qs;
        QTest::newRow("foob") << u"foob"_qs << u"Zm9vYg=="_qs;
        QTest::newRow("fooba") << u"fooba"_qs << u"Zm9vYmE="_qs;
        QTest::newRow("foobar") << u"foobar"_qs << u"Zm9vYmFy"_qs;
        QTest::newRow("high bytes") << latin1Text(QByteArray("\xff\xfe\xfb\x00", 4)) << u"//77AA=="_qs;
        QTest::newRow("zero byte") << QString(1, QChar(0)) << u"AA=="_qs;
    }
    void base64_rfc4648Vectors()
    {
        QFETCH(QString, plain);
        QFETCH(QString, encoded);
        QCOMPARE(Base64Encode(plain), encoded);
        QCOMPARE(Base64Decode(encoded), plain);
    }

    void base64_encode_usesLowByteAndNoLineBreaks()
    {
        QCOMPARE(Base64Encode(u"あ"_qs), u"Qg=="_qs); // U+3042 counts as 0x42
        QCOMPARE(Base64Decode(Base64Encode(u"あ"_qs)), u"B"_qs);
        const QString encoded = Base64Encode(QString(300, u'x'));
        QCOMPARE(encoded.size(), 400);
        QVERIFY(!encoded.contains(u'\n') && !encoded.contains(u'\r'));
    }

    void base64_decode_lenientRules_data()
    {
        QTest::addColumn<QString>("encoded");
        QTest::addColumn<QString>("plain");
        // CR and LF read as "/" (63) and shift every following group.
        QTest::newRow("line break inside") << u"Zm9v\r\nYmFy"_qs << latin1Text("foo\xff\xf6&\x17");
        QTest::newRow("stops at first pad") << u"Zm8=Zm9v"_qs << u"fo"_qs;
        QTest::newRow("one character then pad") << u"Z="_qs << u"d"_qs;
        QTest::newRow("one zero character then pad") << u"A="_qs << QString();
        QTest::newRow("no pad, unfinished byte dropped") << u"Zm9vY"_qs << u"foo"_qs;
        QTest::newRow("no pad, two characters") << u"Zm9vYg"_qs << u"foob"_qs;
        QTest::newRow("blank reads as slash") << u"Zm9 "_qs << Base64Decode(u"Zm9/"_qs);
        QTest::newRow("pad first") << u"=Zm9v"_qs << QString();
    }
    void base64_decode_lenientRules()
    {
        QFETCH(QString, encoded);
        QFETCH(QString, plain);
        QCOMPARE(Base64Decode(encoded), plain);
    }

    // The stored password is encoded twice; every text of U+0000..U+00FF must survive both ways.
    void base64_doubleRoundTrip_keepsEveryByte()
    {
        QString all;
        for (int c = 0; c < 256; ++c) {
            all += QChar(char16_t(c));
        }
        for (qsizetype len = 0; len <= all.size(); len += 37) {
            const QString text = all.left(len) + all.mid(len / 2, 3);
            QCOMPARE(Base64Decode(Base64Decode(Base64Encode(Base64Encode(text)))), text);
        }
    }

    void convertToJis_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("jis");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("ascii unchanged") << u"EasyVELUNA Plus\r\n\r\nback\\slash ~tilde"_qs
                                         << QByteArray("EasyVELUNA Plus\r\n\r\nback\\slash ~tilde");
        QTest::newRow("kanji") << u"日周期を想定"_qs
                               << kToJis + "\x46\x7c\x3c\x7e\x34\x7c\x24\x72\x41\x5b\x44\x6a" + kToAscii;
        QTest::newRow("hiragana and katakana") << u"あア"_qs << kToJis + "\x24\x22\x25\x22" + kToAscii;
        QTest::newRow("half-width katakana, voiced mark separate")
            << u"ｶﾞｱ"_qs << kToJis + "\x25\x2b\x21\x2b\x25\x22" + kToAscii;
        QTest::newRow("mixed lines end in ascii")
            << u"※28日周期を想定\r\nabc\r\n日\r\n"_qs
            << kToJis + "\x22\x28" + kToAscii + "28" + kToJis + "\x46\x7c\x3c\x7e\x34\x7c\x24\x72\x41\x5b\x44\x6a" +
                   kToAscii + "\r\nabc\r\n" + kToJis + "\x46\x7c" + kToAscii + "\r\n";
        QTest::newRow("ideographic space and wave dash") << u"\u3000～"_qs << kToJis + "\x21\x21\x21\x41" + kToAscii;
        QTest::newRow("emoji becomes question mark") << u"a😀b"_qs << QByteArray("a?b");
        QTest::newRow("emoji between kanji")
            << u"日😀日"_qs << kToJis + "\x46\x7c" + kToAscii + "?" + kToJis + "\x46\x7c" + kToAscii;
    }
    void convertToJis()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, jis);
        const QByteArray result = ConvertToJIS(text);
        QCOMPARE(result, jis);
        for (const char byte : result) {
            QVERIFY(uchar(byte) < 0x80);
        }
    }
};

int runEncodingTests(int argc, char **argv)
{
    EncodingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_encoding.moc"
