#include "codepage.h"

#include <QTest>

class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void encode_unmappable_becomesQuestionMark_data();
    void encode_unmappable_becomesQuestionMark();
    void decode_invalidBytes_becomeReplacementCharacter();
    void decode_asciiBytes_sameAloneAsBesideJapanese();
};

void TestCodePage::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ASCII with backslash and tilde") << u"a\\~ 1,\""_qs << QByteArray("a\\~ 1,\"");
    QTest::newRow("hiragana") << u"あい"_qs << QByteArray("\x82\xA0\x82\xA2");
    QTest::newRow("kanji") << u"生理"_qs << QByteArray("\x90\xB6\x97\x9D");
    QTest::newRow("half-width katakana") << u"ｱｲ"_qs << QByteArray("\xB1\xB2");
    QTest::newRow("circled digit") << u"①"_qs << QByteArray("\x87\x40");
    QTest::newRow("full-width tilde") << u"～"_qs << QByteArray("\x81\x60");
    QTest::newRow("IBM extension kanji") << u"髙"_qs << QByteArray("\xFB\xFC");
    QTest::newRow("line ends kept") << u"a\r\nb"_qs << QByteArray("a\r\nb");
}

void TestCodePage::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeAnsi(text), bytes);
    QCOMPARE(decodeAnsi(bytes), text);
}

void TestCodePage::encode_unmappable_becomesQuestionMark_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("accented letter") << u"caf\u00E9"_qs << QByteArray("caf?");
    QTest::newRow("kanji outside the code page") << u"\u4E02x"_qs << QByteArray("?x");
    QTest::newRow("emoji is one character") << u"a\U0001F600b"_qs << QByteArray("a?b");
    QTest::newRow("Hangul") << u"\uD55C"_qs << QByteArray("?");
}

void TestCodePage::encode_unmappable_becomesQuestionMark()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeAnsi(text), bytes);
}

void TestCodePage::decode_invalidBytes_becomeReplacementCharacter()
{
    // A lead byte at the end has no trail byte; the valid text around it survives.
    const QString text = decodeAnsi(QByteArray("a\x82\xA0\x82"));
    QVERIFY(text.startsWith(u"aあ"_qs));
    QVERIFY(text.size() > 2);
    QCOMPARE(text.back(), QChar(0xFFFD));
}

// Text of ASCII bytes alone takes a shortcut past ICU; beside a Japanese character it goes through ICU.
// Both must read every byte alike, including the control bytes the code page maps elsewhere.
void TestCodePage::decode_asciiBytes_sameAloneAsBesideJapanese()
{
    for (int byte = 0; byte < 0x80; ++byte) {
        const QByteArray alone(3, char(byte));
        const QString viaIcu = decodeAnsi(alone + "\x82\xA0");
        QCOMPARE(viaIcu.size(), 4);
        QCOMPARE(viaIcu.back(), QChar(0x3042));
        QCOMPARE(decodeAnsi(alone), viaIcu.first(3));
    }
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
