#include "datetext.h"
#include "errors.h"

#include <QTest>

class TestDateText : public QObject
{
    Q_OBJECT

private slots:
    void format_isZeroPaddedWhateverTheLocale_data();
    void format_isZeroPaddedWhateverTheLocale();
    void parse_validDates_data();
    void parse_validDates();
    void parse_invalidText_throwsExactMessage_data();
    void parse_invalidText_throwsExactMessage();
    void integer_valid_data();
    void integer_valid();
    void integer_invalid_throwsExactMessage_data();
    void integer_invalid_throwsExactMessage();
    void errorBox_appendsDotAfterCharactersAboveDot_data();
    void errorBox_appendsDotAfterCharactersAboveDot();
    void errors_carryTheirTextAsUtf8();
};

void TestDateText::format_isZeroPaddedWhateverTheLocale_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("padded month and day") << QDate(2011, 3, 5) << u"2011/03/05"_qs;
    QTest::newRow("January ninth") << QDate(2011, 1, 9) << u"2011/01/09"_qs;
    QTest::newRow("two-digit month and day") << QDate(2010, 12, 31) << u"2010/12/31"_qs;
    QTest::newRow("year below 1000") << QDate(999, 2, 1) << u"0999/02/01"_qs;
}

void TestDateText::format_isZeroPaddedWhateverTheLocale()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(formatDateText(date), text);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(formatDateText(date), text);
    QLocale::setDefault(saved);
    QCOMPARE(parseDateText(text), date);
}

void TestDateText::parse_validDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("stored form") << u"2011/03/05"_qs << QDate(2011, 3, 5);
    QTest::newRow("one-digit month and day") << u"2011/3/5"_qs << QDate(2011, 3, 5);
    QTest::newRow("mixed digits") << u"2011/03/5"_qs << QDate(2011, 3, 5);
    QTest::newRow("surrounding blanks") << u" 2011/3/5 "_qs << QDate(2011, 3, 5);
    QTest::newRow("leap day of a leap year") << u"2012/02/29"_qs << QDate(2012, 2, 29);
    QTest::newRow("leap day of a 400th year") << u"2000/02/29"_qs << QDate(2000, 2, 29);
    QTest::newRow("last day of the year") << u"2010/12/31"_qs << QDate(2010, 12, 31);
    QTest::newRow("padded small year") << u"0999/01/01"_qs << QDate(999, 1, 1);
}

void TestDateText::parse_validDates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    QCOMPARE(parseDateText(text), date);
}

void TestDateText::parse_invalidText_throwsExactMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("leap day of a common year") << u"2011/02/29"_qs;
    QTest::newRow("leap day of a 100th year") << u"1900/02/29"_qs;
    QTest::newRow("February 30") << u"2012/02/30"_qs;
    QTest::newRow("April 31") << u"2011/04/31"_qs;
    QTest::newRow("month 13") << u"2011/13/01"_qs;
    QTest::newRow("month 0") << u"2011/00/10"_qs;
    QTest::newRow("day 0") << u"2011/01/00"_qs;
    QTest::newRow("year 0") << u"0/01/01"_qs;
    QTest::newRow("dashes") << u"2011-03-05"_qs;
    QTest::newRow("trailing text") << u"2011/03/05x"_qs;
    QTest::newRow("trailing separator") << u"2011/03/05/"_qs;
    QTest::newRow("three-digit month") << u"2011/003/05"_qs;
    QTest::newRow("five-digit year") << u"12345/01/01"_qs;
    QTest::newRow("no day") << u"2011/3"_qs;
    QTest::newRow("memo line") << u"2011/03/05,\"x\""_qs;
    QTest::newRow("full-width digits") << u"２０１１/03/05"_qs;
    QTest::newRow("sign") << u"+2011/03/05"_qs;
    QTest::newRow("words") << u"garbage"_qs;
}

void TestDateText::parse_invalidText_throwsExactMessage()
{
    QFETCH(QString, text);
    try {
        parseDateText(text);
        QFAIL("accepted");
    } catch (const EConvertError &e) {
        QCOMPARE(e.message(), u"''"_qs + text + u"'' は日付ではありません"_qs);
    }
}

void TestDateText::integer_valid_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << u"28"_qs << 28;
    QTest::newRow("zero") << u"0"_qs << 0;
    QTest::newRow("negative") << u"-1"_qs << -1;
    QTest::newRow("plus sign") << u"+7"_qs << 7;
    QTest::newRow("leading zeros") << u"007"_qs << 7;
    QTest::newRow("leading blanks") << u"  30"_qs << 30;
    QTest::newRow("largest") << u"2147483647"_qs << 2147483647;
    QTest::newRow("smallest") << u"-2147483648"_qs << int(-2147483647 - 1);
}

void TestDateText::integer_valid()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(parseIntegerText(text), value);
}

void TestDateText::integer_invalid_throwsExactMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << u" "_qs;
    QTest::newRow("sign only") << u"-"_qs;
    QTest::newRow("one above largest") << u"2147483648"_qs;
    QTest::newRow("one below smallest") << u"-2147483649"_qs;
    QTest::newRow("far beyond 64 bits") << u"99999999999999999999999"_qs;
    QTest::newRow("decimal point") << u"1.5"_qs;
    QTest::newRow("trailing text") << u"28days"_qs;
    QTest::newRow("words") << u"abc"_qs;
    QTest::newRow("full-width digits") << u"３０"_qs;
    QTest::newRow("two signs") << u"--1"_qs;
}

void TestDateText::integer_invalid_throwsExactMessage()
{
    QFETCH(QString, text);
    try {
        parseIntegerText(text);
        QFAIL("accepted");
    } catch (const EConvertError &e) {
        QCOMPARE(e.message(), u"''"_qs + text + u"'' は整数ではありません"_qs);
    }
}

void TestDateText::errorBox_appendsDotAfterCharactersAboveDot_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("integer error") << u"''abc'' は整数ではありません"_qs << u"''abc'' は整数ではありません."_qs;
    QTest::newRow("Japanese full stop") << u"作成できません。"_qs << u"作成できません。."_qs;
    QTest::newRow("closing parenthesis") << u"範囲を超えています (3)"_qs << u"範囲を超えています (3)"_qs;
    QTest::newRow("already a dot") << u"done."_qs << u"done."_qs;
    QTest::newRow("hyphen is below dot") << u"a-"_qs << u"a-"_qs;
    QTest::newRow("slash is above dot") << u"a/"_qs << u"a/."_qs;
    QTest::newRow("trailing blank") << u"開けません。 x "_qs << u"開けません。 x "_qs;
    QTest::newRow("empty") << QString() << QString();
}

void TestDateText::errorBox_appendsDotAfterCharactersAboveDot()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorBoxText(message), shown);
}

void TestDateText::errors_carryTheirTextAsUtf8()
{
    const EListError e = EListError::indexOutOfRange(12);
    QCOMPARE(e.message(), u"リストのインデックスが範囲を超えています (12)"_qs);
    QCOMPARE(QString::fromUtf8(e.what()), e.message());
    try {
        throw EFileError(u"ファイル x は開けません。 y "_qs);
    } catch (const AppError &caught) {
        QCOMPARE(caught.message(), u"ファイル x は開けません。 y "_qs);
    }
}

QTEST_GUILESS_MAIN(TestDateText)
#include "tst_datetext.moc"
