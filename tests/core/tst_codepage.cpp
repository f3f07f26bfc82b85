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
    void typedCharacters_comeBackAsThemselvesOrTheirTwin_data();
    void typedCharacters_comeBackAsThemselvesOrTheirTwin();
    void faithful_refusesWhatWouldBeLost_data();
    void faithful_refusesWhatWouldBeLost();
    void reencodeAlike_holdsForEveryCodeOutsideTheDuplicateRows();
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

// What input methods here produce, typed into a memo: each must be stored and read back as itself or as
// the code page's twin that the original platform's best-fit table gives for it.
void TestCodePage::typedCharacters_comeBackAsThemselvesOrTheirTwin_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("wave dash") << u"10時〜12時"_qs
                               << QByteArray("10\x8E\x9E\x81\x60"
                                             "12\x8E\x9E")
                               << u"10時～12時"_qs;
    QTest::newRow("minus sign") << u"−5"_qs
                                << QByteArray("\x81\x7C"
                                              "5")
                                << u"－5"_qs;
    QTest::newRow("double vertical line") << u"‖"_qs << QByteArray("\x81\x61") << u"∥"_qs;
    QTest::newRow("cent sign") << u"¢"_qs << QByteArray("\x81\x91") << u"￠"_qs;
    QTest::newRow("pound sign") << u"£"_qs << QByteArray("\x81\x92") << u"￡"_qs;
    QTest::newRow("not sign") << u"¬"_qs << QByteArray("\x81\xCA") << u"￢"_qs;
    QTest::newRow("em dash") << u"—"_qs << QByteArray("\x81\x5C") << u"―"_qs;
    QTest::newRow("full-width letters and digits")
        << u"ＡＢ１２"_qs << QByteArray("\x82\x60\x82\x61\x82\x50\x82\x51") << u"ＡＢ１２"_qs;
    QTest::newRow("full-width tilde") << u"～"_qs << QByteArray("\x81\x60") << u"～"_qs;
    QTest::newRow("long vowel mark") << u"ー"_qs << QByteArray("\x81\x5B") << u"ー"_qs;
    QTest::newRow("katakana middle dot") << u"・"_qs << QByteArray("\x81\x45") << u"・"_qs;
    QTest::newRow("circled digit") << u"①"_qs << QByteArray("\x87\x40") << u"①"_qs;
    QTest::newRow("parenthesised kabushiki") << u"㈱"_qs << QByteArray("\x87\x8A") << u"㈱"_qs;
}

void TestCodePage::typedCharacters_comeBackAsThemselvesOrTheirTwin()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);
    QCOMPARE(encodeAnsiFaithfully(typed).value_or("<refused>"), bytes);
    QCOMPARE(encodeAnsi(typed), bytes);
    QCOMPARE(decodeAnsi(bytes), readBack);
}

// These have no form of their own in the code page; the only best fits would be other characters or
// nothing, so a file that must hold them has to change its encoding instead.
void TestCodePage::faithful_refusesWhatWouldBeLost_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("emoji") << u"痛み\U0001F622"_qs;
    QTest::newRow("kanji outside the code page") << u"𠮷野家"_qs;
    QTest::newRow("copyright sign") << u"©"_qs;
    QTest::newRow("yen sign would read back as backslash") << u"¥500"_qs;
    QTest::newRow("overline would read back as tilde") << u"‾"_qs;
    QTest::newRow("soft hyphen would vanish") << u"a\u00ADb"_qs;
    QTest::newRow("zero-width joiner would vanish") << u"あ\u200Dい"_qs;
}

void TestCodePage::faithful_refusesWhatWouldBeLost()
{
    QFETCH(QString, text);
    QVERIFY(!encodeAnsiFaithfully(text).has_value());
}

// The promise that lets a file be written back without comparing every line: outside lead bytes 87, ED,
// EE and FA every valid code reads back into the very same bytes.
void TestCodePage::reencodeAlike_holdsForEveryCodeOutsideTheDuplicateRows()
{
    AnsiCodec codec;
    int checked = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (int trail = -1; trail <= 0xFF; ++trail) {
            QByteArray code(1, char(lead));
            if (trail >= 0) {
                code += char(trail);
            }
            bool valid = false;
            const QString text = codec.decode(code, &valid);
            if (!valid || text.size() != 1 || !ansiBytesReencodeAlike(code)) {
                continue;
            }
            ++checked;
            if (codec.encodeFaithfully(text) != std::optional<QByteArray>(code)) {
                QFAIL(qPrintable(u"code "_qs + QString::fromLatin1(code.toHex()) + u" does not read back"_qs));
            }
        }
    }
    QVERIFY(checked > 7000);
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
