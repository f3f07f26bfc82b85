#include "calendar.h"
#include "codepage.h"
#include "cyclestats.h"
#include "cyclewindows.h"
#include "daycolors.h"
#include "errors.h"
#include "memofile.h"
#include "textfile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString Ideographic = QString(QChar(0x3000));

// The message of the AppError that `action` throws, or a marker when it throws none.
QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const AppError &error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

class TestPrediction final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QDate m_today;

    QString datePath() const { return m_dir.filePath(QStringLiteral("date.dat")); }
    QString memoPath() const { return m_dir.filePath(QStringLiteral("dateMemo.dat")); }

    void writeFile(const QString &path, const QStringList &lines)
    {
        QByteArray bytes;
        for (const QString &line : lines) {
            bytes += encodeAnsi(line) + "\r\n";
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    void writeDates(const QStringList &lines) { writeFile(datePath(), lines); }
    void writeMemos(const QStringList &lines) { writeFile(memoPath(), lines); }

    Calendar makeCalendar()
    {
        return Calendar(datePath(), memoPath(), [this] { return m_today; });
    }

    // The colour the grid gives `date` when its own month is displayed.
    static quint32 colorOfDay(Calendar &calendar, QDate date, int cycleLength, int cyclesAhead)
    {
        calendar.PredictMonth(date.year(), date.month(), cycleLength, cyclesAhead, true, true);
        const int cell = QDate(date.year(), date.month(), 1).dayOfWeek() % 7 + date.day();
        return calendar.DayColor(cell);
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(datePath());
        QFile::remove(memoPath());
        m_today = QDate(1990, 1, 1); // far from every month under test unless a test sets it
    }

    // ---- cycle-length statistics ---------------------------------------------------------------

    void statistics_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("average");
        QTest::addColumn<QString>("shortest");
        QTest::addColumn<QString>("longest");
        QTest::addColumn<QString>("previous");

        QTest::newRow("two days give the single gap")
            << QStringList{u"2011/03/01"_qs, u"2011/02/01"_qs} << u"28"_qs << u"28"_qs << u"28"_qs << u"28"_qs;
        QTest::newRow("gaps 28 29: average truncated")
            << QStringList{u"2011/03/01"_qs, u"2011/02/01"_qs, u"2011/01/03"_qs} << u"28"_qs << u"28"_qs << u"29"_qs
            << u"28"_qs;
        QTest::newRow("gaps 35 28 30") << QStringList{u"2011/04/04"_qs, u"2011/02/28"_qs, u"2011/01/31"_qs,
                                                      u"2011/01/01"_qs}
                                       << u"31"_qs << u"28"_qs << u"35"_qs << u"35"_qs;
        QTest::newRow("gaps 30 31 31: 30.67 truncated")
            << QStringList{u"2011/04/01"_qs, u"2011/03/02"_qs, u"2011/01/30"_qs, u"2010/12/30"_qs} << u"30"_qs
            << u"30"_qs << u"31"_qs << u"30"_qs;
        QTest::newRow("dates without leading zeros")
            << QStringList{u"2011/3/1"_qs, u"2011/2/1"_qs} << u"28"_qs << u"28"_qs << u"28"_qs << u"28"_qs;
        // A zero gap (a hand-written duplicate) resets the walk: the next gap replaces it whatever it is.
        QTest::newRow("zero gap restarts the walk")
            << QStringList{u"2011/04/28"_qs, u"2011/03/31"_qs, u"2011/03/31"_qs, u"2011/03/01"_qs} << u"19"_qs
            << u"30"_qs << u"30"_qs << u"28"_qs;
        // An unsorted, hand-edited file gives a negative gap; the average truncates toward zero.
        QTest::newRow("negative gap of an unsorted file")
            << QStringList{u"2011/01/01"_qs, u"2011/01/06"_qs, u"2010/12/09"_qs} << u"11"_qs << u"-5"_qs << u"28"_qs
            << u"-5"_qs;
        QTest::newRow("negative average truncated toward zero")
            << QStringList{u"2011/01/01"_qs, u"2011/01/04"_qs, u"2011/01/06"_qs} << u"-2"_qs << u"-3"_qs << u"-2"_qs
            << u"-3"_qs;
        QTest::newRow("whole range of years") << QStringList{u"9999/12/31"_qs, u"0001/01/01"_qs} << u"3652058"_qs
                                              << u"3652058"_qs << u"3652058"_qs << u"3652058"_qs;
    }

    void statistics()
    {
        QFETCH(QStringList, lines);
        QTEST(AverageCycleLength(lines), "average");
        QTEST(ShortestCycleLength(lines), "shortest");
        QTEST(LongestCycleLength(lines), "longest");
        QTEST(PreviousCycleLength(lines), "previous");
    }

    void statistics_badInput_throwsTheListOrDateError()
    {
        const QStringList one{u"2011/03/01"_qs};
        const QString missingLine1 = u"リストのインデックスが範囲を超えています (1)"_qs;
        QCOMPARE(errorOf([&] { AverageCycleLength(one); }), missingLine1);
        QCOMPARE(errorOf([&] { ShortestCycleLength(one); }), missingLine1);
        QCOMPARE(errorOf([&] { LongestCycleLength(one); }), missingLine1);
        QCOMPARE(errorOf([&] { PreviousCycleLength(one); }), missingLine1);
        QCOMPARE(errorOf([] { AverageCycleLength({}); }), u"リストのインデックスが範囲を超えています (0)"_qs);

        // Only the previous cycle ignores the lines after line 1.
        const QStringList badThird{u"2011/03/01"_qs, u"2011/02/01"_qs, u"2011/13/01"_qs};
        const QString notADate = u"''2011/13/01'' は日付ではありません"_qs;
        QCOMPARE(errorOf([&] { AverageCycleLength(badThird); }), notADate);
        QCOMPARE(errorOf([&] { ShortestCycleLength(badThird); }), notADate);
        QCOMPARE(errorOf([&] { LongestCycleLength(badThird); }), notADate);
        QCOMPARE(PreviousCycleLength(badThird), u"28"_qs);
    }

    // ---- calendar arithmetic -------------------------------------------------------------------

    void julianDayAndWeekday_matchQDate()
    {
        for (int year : {1, 4, 99, 100, 400, 1582, 1899, 1900, 2000, 2011, 2100, 2400, 9999}) {
            for (int month = 1; month <= 12; ++month) {
                const QDate first(year, month, 1);
                QCOMPARE(julianDay(year, month, 1), first.toJulianDay());
                QCOMPARE(weekdayNumber(first.toJulianDay()), first.dayOfWeek() % 7 + 1);
                QCOMPARE(daysInMonth(year, month), first.daysInMonth());
            }
        }
        QCOMPARE(julianDay(1899, 12, 30), LongPastDay);
        // Astronomical years before year 1 still count whole weeks.
        QCOMPARE(julianDay(0, 3, 1), qint64(1721120));
        QCOMPARE(weekdayNumber(julianDay(-400, 3, 1)), weekdayNumber(julianDay(0, 3, 1)));
    }

    void cycleOffset_wrapsAsSigned32Bit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("ahead");
        QTest::addColumn<qint32>("offset");
        QTest::newRow("twelve cycles of 28") << 28 << 12 << qint32(336);
        QTest::newRow("one cycle back") << 30 << -1 << qint32(-30);
        QTest::newRow("largest length once") << 2147483647 << 1 << qint32(2147483647);
        QTest::newRow("largest length twice wraps") << 2147483647 << 2 << qint32(-2);
        QTest::newRow("largest length twelve times") << 2147483647 << 12 << qint32(-12);
        QTest::newRow("largest length back") << 2147483647 << -1 << qint32(-2147483647);
        QTest::newRow("smallest length back wraps") << int(-2147483647 - 1) << -1 << qint32(-2147483647 - 1);
        QTest::newRow("3e9 wraps negative") << 250000000 << 12 << qint32(-1294967296);
    }

    void cycleOffset_wrapsAsSigned32Bit()
    {
        QFETCH(int, length);
        QFETCH(int, ahead);
        QTEST(cycleOffset(length, ahead), "offset");
    }

    void colors_matchTheirRedGreenBlue()
    {
        QCOMPARE(colorToRgb(CellColor::NoCategory), (RgbTriple{212, 208, 200}));
        QCOMPARE(colorToRgb(CellColor::ThisPeriod), (RgbTriple{181, 255, 181}));
        QCOMPARE(colorToRgb(CellColor::NextPeriod), (RgbTriple{166, 202, 240}));
        QCOMPARE(colorToRgb(CellColor::UnlikelyDays), (RgbTriple{185, 255, 255}));
        QCOMPARE(colorToRgb(CellColor::SemiUnlikelyDays), (RgbTriple{255, 255, 181}));
        QCOMPARE(colorToRgb(CellColor::SemiLikelyDays), (RgbTriple{255, 217, 217}));
        QCOMPARE(colorToRgb(CellColor::LikelyDays), (RgbTriple{255, 128, 192}));
        QCOMPARE(colorToRgb(CellColor::TodayMark), (RgbTriple{128, 128, 255}));
        QCOMPARE(colorToRgb(CellColor::MemoMark), (RgbTriple{255, 128, 64}));
        QCOMPARE(colorToArgb(CellColor::MemoMark), 0xFFFF8040u);
    }

    // ---- the month grid ------------------------------------------------------------------------

    void predictMonth_workedExampleMarch2011()
    {
        writeDates({u"2011/03/01"_qs});
        Calendar calendar = makeCalendar();
        calendar.PredictMonth(2011, 3, 28, 0, true, true);

        // Day d of March 2011 sits in cell d + 2 (the 1st is a Tuesday).
        auto expected = [](int day) {
            if (day <= 5) {
                return CellColor::ThisPeriod;
            }
            if (day <= 9 || day == 19) {
                return CellColor::SemiUnlikelyDays;
            }
            if (day <= 12 || day == 18) {
                return CellColor::SemiLikelyDays;
            }
            if (day <= 17) {
                return CellColor::LikelyDays;
            }
            return day <= 28 ? CellColor::UnlikelyDays : CellColor::NextPeriod;
        };
        for (int cell = 1; cell <= Calendar::CellCount; ++cell) {
            const int day = cell - 2;
            if (day < 1 || day > 31) {
                QVERIFY2(calendar.DayCaption(cell).isEmpty(), qPrintable(QString::number(cell)));
                QCOMPARE(calendar.DayColor(cell), CellColor::NoCategory);
            } else {
                QCOMPARE(calendar.DayCaption(cell), QString::number(day));
                QCOMPARE(calendar.DayColor(cell), expected(day));
            }
        }

        // April: only days 1-4 are the next period.
        calendar.PredictMonth(2011, 4, 28, 0, true, true);
        for (int day = 1; day <= 30; ++day) {
            const int cell = day + 5; // 2011/04/01 is a Friday
            QCOMPARE(calendar.DayColor(cell), day <= 4 ? CellColor::NextPeriod : CellColor::NoCategory);
        }

        // One cycle ahead: this period from 03/29, everything before grey.
        calendar.PredictMonth(2011, 3, 28, 1, true, true);
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 3, 29));
        for (int day = 1; day <= 31; ++day) {
            QCOMPARE(calendar.DayColor(day + 2), day >= 29 ? CellColor::ThisPeriod : CellColor::NoCategory);
        }
    }

    void predictMonth_layout_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("firstCell");
        QTest::addColumn<int>("days");
        QTest::newRow("starts on Sunday") << 2015 << 2 << 1 << 28;
        QTest::newRow("31 days starting on Saturday") << 2011 << 1 << 7 << 31;
        QTest::newRow("February 2000") << 2000 << 2 << 3 << 29;
        QTest::newRow("February 2012") << 2012 << 2 << 4 << 29;
        QTest::newRow("February 2100") << 2100 << 2 << 2 << 28;
        QTest::newRow("February 2011") << 2011 << 2 << 3 << 28;
        QTest::newRow("30 days") << 2011 << 4 << 6 << 30;
        QTest::newRow("year 9999 December") << 9999 << 12 << 4 << 31;
    }

    void predictMonth_layout()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, firstCell);
        QFETCH(int, days);
        Calendar calendar = makeCalendar();
        // First a month that uses the sixth row, to see that every cell is rewritten.
        calendar.PredictMonth(2011, 1, 28, 0, false, false);
        calendar.PredictMonth(year, month, 28, 0, false, false);
        for (int cell = 1; cell <= Calendar::CellCount; ++cell) {
            const int day = cell - firstCell + 1;
            const bool inMonth = day >= 1 && day <= days;
            QCOMPARE(calendar.DayCaption(cell), inMonth ? QString::number(day) : QString());
            QCOMPARE(calendar.DayColor(cell), CellColor::NoCategory); // no date.dat: no category
        }
    }

    void predictMonth_length28DayByDay()
    {
        const QDate first(2011, 12, 20); // the cycle crosses two month and one year boundary
        writeDates({first.toString(u"yyyy/MM/dd"_qs)});
        Calendar calendar = makeCalendar();
        for (int offset = -10; offset <= 45; ++offset) {
            quint32 expected = CellColor::NoCategory;
            if (offset >= 0 && offset <= 4) {
                expected = CellColor::ThisPeriod;
            } else if ((offset >= 5 && offset <= 8) || offset == 18) {
                expected = CellColor::SemiUnlikelyDays;
            } else if ((offset >= 9 && offset <= 11) || offset == 17) {
                expected = CellColor::SemiLikelyDays;
            } else if (offset >= 12 && offset <= 16) {
                expected = CellColor::LikelyDays;
            } else if (offset >= 19 && offset <= 27) {
                expected = CellColor::UnlikelyDays;
            } else if (offset >= 28 && offset <= 34) {
                expected = CellColor::NextPeriod;
            }
            QVERIFY2(colorOfDay(calendar, first.addDays(offset), 28, 0) == expected,
                     qPrintable(QStringLiteral("B%1%2").arg(offset >= 0 ? u"+"_qs : QString()).arg(offset)));
        }
    }

    void predictMonth_shortAndDegenerateCycles_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("offsets");
        QTest::addColumn<QList<quint32>>("colors");
        using namespace CellColor;
        // L = 21: the semi-unlikely window reaches back to P0 - 2 and covers the first two days of the period.
        QTest::newRow("21 days reach back before P0")
            << 21 << QList<int>{-3, -2, -1, 0, 1, 2, 4, 5, 9, 10, 11, 12, 20, 21, 27, 28}
            << QList<quint32>{NoCategory,       SemiUnlikelyDays, SemiUnlikelyDays, SemiUnlikelyDays,
                              SemiUnlikelyDays, SemiLikelyDays,   SemiLikelyDays,   LikelyDays,
                              LikelyDays,       SemiLikelyDays,   SemiUnlikelyDays, UnlikelyDays,
                              UnlikelyDays,     NextPeriod,       NextPeriod,       NoCategory};
        // L = 0: the next period covers this period; the fertility windows lie wholly before P0.
        QTest::newRow("zero length") << 0 << QList<int>{-24, -23, -19, -16, -12, -11, -10, -9, -1, 0, 6, 7}
                                     << QList<quint32>{NoCategory, SemiUnlikelyDays, SemiLikelyDays,   LikelyDays,
                                                       LikelyDays, SemiLikelyDays,   SemiUnlikelyDays, NoCategory,
                                                       NoCategory, NextPeriod,       NextPeriod,       NoCategory};
        // L = 6: the next period overwrites the last day of this period; no unlikely days.
        QTest::newRow("six days") << 6 << QList<int>{5, 6, 12, 13}
                                  << QList<quint32>{ThisPeriod, NextPeriod, NextPeriod, NoCategory};
        // L = 35: the fertility windows no longer reach this period.
        QTest::newRow("35 days") << 35 << QList<int>{6, 7, 11, 12, 40, 41, 42}
                                 << QList<quint32>{ThisPeriod, UnlikelyDays, UnlikelyDays, SemiUnlikelyDays,
                                                   NextPeriod, NextPeriod,   NoCategory};
    }

    void predictMonth_shortAndDegenerateCycles()
    {
        QFETCH(int, length);
        QFETCH(QList<int>, offsets);
        QFETCH(QList<quint32>, colors);
        const QDate first(2011, 3, 10);
        writeDates({u"2011/03/10"_qs, u"2011/02/01"_qs});
        Calendar calendar = makeCalendar();
        for (qsizetype i = 0; i < offsets.size(); ++i) {
            QVERIFY2(colorOfDay(calendar, first.addDays(offsets[i]), length, 0) == colors[i],
                     qPrintable(QStringLiteral("P0%1").arg(offsets[i])));
        }
    }

    void predictMonth_previousCycle_startsOnSecondNewestDay()
    {
        writeDates({u"2011/03/01"_qs, u"2011/01/30"_qs, u"2010/12/31"_qs});
        QFile dates(datePath());
        const int length = PreviousCycleLength({u"2011/03/01"_qs, u"2011/01/30"_qs, u"2010/12/31"_qs}).toInt();
        QCOMPARE(length, 30);
        Calendar calendar = makeCalendar();
        calendar.PredictMonth(2011, 1, length, -1, false, false);
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 1, 30));   // ThisPeriod first
        QCOMPARE(calendar.CycleWindows()[2], QDate(2011, 3, 1));    // NextPeriod first
        QCOMPARE(calendar.DayColor(30 + 6), CellColor::ThisPeriod); // 2011/01/01 is a Saturday
        QCOMPARE(calendar.DayColor(29 + 6), CellColor::NoCategory);
    }

    void predictMonth_marks_data()
    {
        QTest::addColumn<bool>("showToday");
        QTest::addColumn<bool>("showMemos");
        QTest::addColumn<quint32>("memoAndToday"); // 2011/03/14: likely, memo, today
        QTest::addColumn<quint32>("memoOnly");     // 2011/03/02: this period, memo
        QTest::addColumn<quint32>("outsideMemo");  // 2011/04/10: no category, memo
        QTest::newRow("both marks") << true << true << CellColor::MemoMark << CellColor::MemoMark
                                    << CellColor::MemoMark;
        QTest::newRow("today only") << true << false << CellColor::TodayMark << CellColor::ThisPeriod
                                    << CellColor::NoCategory;
        QTest::newRow("memos only") << false << true << CellColor::MemoMark << CellColor::MemoMark
                                    << CellColor::MemoMark;
        QTest::newRow("no marks") << false << false << CellColor::LikelyDays << CellColor::ThisPeriod
                                  << CellColor::NoCategory;
    }

    void predictMonth_marks()
    {
        QFETCH(bool, showToday);
        QFETCH(bool, showMemos);
        writeDates({u"2011/03/01"_qs});
        writeMemos({u"2011/04/10,\"花見\""_qs, u"2011/03/14,\"a\""_qs, u"2011/03/02,\"\""_qs});
        m_today = QDate(2011, 3, 14);
        Calendar calendar = makeCalendar();
        calendar.PredictMonth(2011, 3, 28, 0, showToday, showMemos);
        QTEST(calendar.DayColor(14 + 2), "memoAndToday");
        QTEST(calendar.DayColor(2 + 2), "memoOnly");
        QCOMPARE(calendar.DayColor(15 + 2), CellColor::LikelyDays); // neither mark
        calendar.PredictMonth(2011, 4, 28, 0, showToday, showMemos);
        QTEST(calendar.DayColor(10 + 5), "outsideMemo");
        QCOMPARE(calendar.MemoDays(), (QList<QDate>{QDate(2011, 4, 10), QDate(2011, 3, 14), QDate(2011, 3, 2)}));
    }

    void predictMonth_todayComesFromTheSeamEachTime()
    {
        Calendar calendar = makeCalendar();
        m_today = QDate(2011, 3, 5);
        calendar.PredictMonth(2011, 3, 28, 0, true, false);
        QCOMPARE(calendar.DayColor(5 + 2), CellColor::TodayMark);
        m_today = QDate(2011, 3, 6);
        calendar.PredictMonth(2011, 3, 28, 0, true, false);
        QCOMPARE(calendar.DayColor(5 + 2), CellColor::NoCategory);
        QCOMPARE(calendar.DayColor(6 + 2), CellColor::TodayMark);

        Calendar clock(datePath(), memoPath());
        const QDate now = QDate::currentDate();
        clock.PredictMonth(now.year(), now.month(), 28, 0, true, false);
        QCOMPARE(clock.DayColor(QDate(now.year(), now.month(), 1).dayOfWeek() % 7 + now.day()), CellColor::TodayMark);
    }

    // ---- memo days -----------------------------------------------------------------------------

    void loadMemoDays_readsEveryLineInFileOrder()
    {
        writeMemos({
            u"2011/04/01,\"お花見$$桜\""_qs,
            u"2011/03/05,\"a, b, \"\"c\"\"\""_qs,
            u"  2011/3/4,\"hand written\""_qs,
            u"2010/12/31,\"\""_qs,
            u"2010/12/30"_qs,
        });
        Calendar calendar = makeCalendar();
        calendar.LoadMemoDays();
        QCOMPARE(calendar.MemoDays(), (QList<QDate>{QDate(2011, 4, 1), QDate(2011, 3, 5), QDate(2011, 3, 4),
                                                    QDate(2010, 12, 31), QDate(2010, 12, 30)}));

        QFile::remove(memoPath());
        calendar.LoadMemoDays();
        QVERIFY(calendar.MemoDays().isEmpty());
    }

    // Days are read from the bytes of a file in the code page and from the decoded text of a marked file;
    // both must find the same lines and days whatever the line ends and the memo texts hold.
    void loadMemoDays_sameInEveryEncodingAndLineEnd_data()
    {
        QTest::addColumn<int>("encoding");
        QTest::newRow("code page 932") << int(TextEncoding::Ansi);
        QTest::newRow("UTF-8 with mark") << int(TextEncoding::Utf8);
        QTest::newRow("UTF-16LE with mark") << int(TextEncoding::Utf16LE);
    }

    void loadMemoDays_sameInEveryEncodingAndLineEnd()
    {
        QFETCH(int, encoding);
        const auto write = [&](const QString &text) {
            QFile file(memoPath());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(encodeTextFile(text, TextEncoding(encoding)));
        };
        // 表 and ソ end in the byte 5C in code page 932.
        write(u"2011/04/01,\"表示$$ソ\"\r\n"
              u"\"2011/03/05\",\"引用\"\n"
              u"  2011/3/4,\"x\"\r"
              u"2011/03/03\r\n"
              u"2011/03/02,\"\"\r\n"_qs);
        Calendar calendar = makeCalendar();
        calendar.LoadMemoDays();
        QCOMPARE(calendar.MemoDays(), (QList<QDate>{QDate(2011, 4, 1), QDate(2011, 3, 5), QDate(2011, 3, 4),
                                                    QDate(2011, 3, 3), QDate(2011, 3, 2)}));

        // A line that starts with a two-byte character is read whole, not cut inside the character.
        write(u"2011/04/01,\"x\"\r\n"_qs + Ideographic + u"2011/03/01,\"y\"\r\n"_qs);
        QCOMPARE(errorOf([&] { calendar.LoadMemoDays(); }),
                 u"''"_qs + Ideographic + u"2011/03/01'' は日付ではありません"_qs);
    }

    // The shortcut for the day of a memo line must cut exactly what the full split cuts.
    void memoDayField_agreesWithTheFullSplit_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("as written") << u"2011/03/05,\"abc$$def\""_qs;
        QTest::newRow("comma inside the memo") << u"2011/03/05,\"a,b\",c"_qs;
        QTest::newRow("empty memo") << u"2011/03/05,\"\""_qs;
        QTest::newRow("comma at the end") << u"2011/03/05,"_qs;
        QTest::newRow("no comma") << u"2011/03/05"_qs;
        QTest::newRow("no leading zeros") << u"2011/3/5,\"x\""_qs;
        QTest::newRow("leading blanks") << u"  \t2011/03/05,\"x\""_qs;
        QTest::newRow("blank before the comma") << u"2011/03/05 ,\"x\""_qs;
        QTest::newRow("text after a blank") << u"2011/03/05 x,\"y\""_qs;
        QTest::newRow("quoted day with a comma") << u"\"2011/03/05, x\",y"_qs;
        QTest::newRow("quote inside the day") << u"2011/03\"/05,\"x\""_qs;
        QTest::newRow("nul inside the day") << QStringLiteral("2011/03/05") + QChar(0) + u"x,y"_qs;
        QTest::newRow("comma first") << u",\"x\""_qs;
        QTest::newRow("not a date") << u"abc,def,ghi"_qs;
    }

    void memoDayField_agreesWithTheFullSplit()
    {
        QFETCH(QString, line);
        const QStringList fields = splitMemoLine(line);
        QVERIFY(!fields.isEmpty());
        QCOMPARE(memoDayField(line), fields.front());
    }

    void memoDayField_blankLine_throwsListIndexError()
    {
        for (const QString &line : {QString(), u"   "_qs, u"\t"_qs}) {
            QVERIFY(splitMemoLine(line).isEmpty());
            QCOMPARE(errorOf([&] { memoDayField(line); }), u"リストのインデックスが範囲を超えています (0)"_qs);
        }
    }

    // ---- failures keep the previous picture ----------------------------------------------------

    void failure_keepsThePreviousPicture_data()
    {
        QTest::addColumn<QStringList>("dates");
        QTest::addColumn<QStringList>("memos");
        QTest::addColumn<QString>("message");
        QTest::newRow("newest line not a date")
            << QStringList{u"2011/02/30"_qs} << QStringList{} << u"''2011/02/30'' は日付ではありません"_qs;
        QTest::newRow("memo day not a date")
            << QStringList{u"2011/04/01"_qs} << QStringList{u"2011/03/05,\"x\""_qs, u"x,\"y\""_qs}
            << u"''x'' は日付ではありません"_qs;
    }

    void failure_keepsThePreviousPicture()
    {
        QFETCH(QStringList, dates);
        QFETCH(QStringList, memos);
        QFETCH(QString, message);
        writeDates({u"2011/03/01"_qs});
        writeMemos({u"2011/03/20,\"x\""_qs});
        Calendar calendar = makeCalendar();
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        const auto windows = calendar.CycleWindows();
        QStringList captions;
        QList<quint32> colors;
        for (int cell = 1; cell <= Calendar::CellCount; ++cell) {
            captions << calendar.DayCaption(cell);
            colors << calendar.DayColor(cell);
        }

        writeDates(dates);
        if (memos.isEmpty()) {
            QFile::remove(memoPath());
        } else {
            writeMemos(memos);
        }
        QCOMPARE(errorOf([&] { calendar.PredictMonth(2011, 5, 30, 1, true, true); }), message);
        QCOMPARE(calendar.CycleWindows(), windows);
        QCOMPARE(calendar.MemoDays(), QList<QDate>{QDate(2011, 3, 20)});
        for (int cell = 1; cell <= Calendar::CellCount; ++cell) {
            QCOMPARE(calendar.DayCaption(cell), captions[cell - 1]);
            QCOMPARE(calendar.DayColor(cell), colors[cell - 1]);
        }
        if (!memos.isEmpty()) {
            QCOMPARE(errorOf([&] { calendar.LoadMemoDays(); }), message);
            QCOMPARE(calendar.MemoDays(), QList<QDate>{QDate(2011, 3, 20)});
        } else {
            QCOMPARE(errorOf([&] { calendar.SetCycleWindows(28, 0); }), message);
            QCOMPARE(errorOf([&] { calendar.PredictionText(28, 0); }), message);
            QCOMPARE(calendar.CycleWindows(), windows);
        }
    }

    void missingOrEmptyDateFile()
    {
        writeMemos({u"2011/03/20,\"x\""_qs});
        m_today = QDate(2011, 3, 21);
        Calendar calendar = makeCalendar();
        // Before any cycle: every window is 1899-12-30 and there is nothing to mail.
        QCOMPARE(calendar.PredictionText(28, 0), QString());
        calendar.SetCycleWindows(28, 0);
        for (const QDate &date : calendar.CycleWindows()) {
            QCOMPARE(date, QDate(1899, 12, 30));
        }
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        QCOMPARE(calendar.DayCaption(3), u"1"_qs);
        QCOMPARE(calendar.DayColor(3), CellColor::NoCategory);
        QCOMPARE(calendar.DayColor(22), CellColor::MemoMark);
        QCOMPARE(calendar.DayColor(23), CellColor::TodayMark);

        // A computed cycle survives a missing file, in the grid and in the text.
        writeDates({u"2011/03/01"_qs});
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        QFile::remove(datePath());
        calendar.PredictMonth(2011, 3, 35, 3, true, true);
        QCOMPARE(calendar.DayColor(3), CellColor::ThisPeriod);
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 3, 1));
        QVERIFY(calendar.PredictionText(35, 3).startsWith(u"2011/03/01"_qs + Ideographic + u"今回の生理\r\n"_qs));

        // An empty file shows the month without categories and forgets the cycle; the text still fails.
        writeDates({});
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        QCOMPARE(calendar.DayCaption(3), u"1"_qs);
        QCOMPARE(calendar.DayColor(3), CellColor::NoCategory);
        QCOMPARE(calendar.DayColor(22), CellColor::MemoMark);
        QVERIFY(!calendar.HasCycle());
        QCOMPARE(errorOf([&] { calendar.PredictionText(28, 0); }), u"リストのインデックスが範囲を超えています (0)"_qs);
        QFile::remove(datePath());
        QCOMPARE(calendar.PredictionText(28, 0), QString());
    }

    void badArguments_throw()
    {
        Calendar calendar = makeCalendar();
        QCOMPARE(errorOf([&] { calendar.PredictMonth(2011, 13, 28, 0, false, false); }),
                 u"月 13 は 1 から 12 の範囲にありません"_qs);
        QCOMPARE(errorOf([&] { calendar.DayCaption(0); }), u"リストのインデックスが範囲を超えています (0)"_qs);
        QCOMPARE(errorOf([&] { calendar.DayColor(38); }), u"リストのインデックスが範囲を超えています (38)"_qs);
    }

    // ---- huge cycle lengths --------------------------------------------------------------------

    void hugeLength_givesFarWindowsWithoutOverflow()
    {
        writeDates({u"2011/03/01"_qs});
        Calendar calendar = makeCalendar();
        const qint64 b = QDate(2011, 3, 1).toJulianDay();
        constexpr int Max = 2147483647;

        calendar.PredictMonth(2011, 3, Max, 0, false, false);
        QCOMPARE(calendar.DayColor(3), CellColor::ThisPeriod);
        QCOMPARE(calendar.DayColor(10), CellColor::UnlikelyDays); // 03/08 = P0 + 7
        QCOMPARE(calendar.WindowDays()[DayCategory::NextPeriod].first, b + Max);
        QCOMPARE(calendar.WindowDays()[DayCategory::NextPeriod].last, b + Max + 6);
        QCOMPARE(calendar.WindowDays()[DayCategory::UnlikelyDays].last, b + Max - 1);

        // 2 * Max wraps to -2: the cycle starts two days before the newest first day.
        calendar.PredictMonth(2011, 2, Max, 2, false, false);
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 2, 27));
        QCOMPARE(calendar.DayColor(27 + 2), CellColor::ThisPeriod);
        QCOMPARE(calendar.DayColor(26 + 2), CellColor::NoCategory);

        // The most negative length one cycle back wraps to itself.
        calendar.PredictMonth(2011, 3, -Max - 1, -1, false, false);
        QCOMPARE(calendar.WindowDays()[DayCategory::ThisPeriod].first, b - Max - 1);
        QCOMPARE(calendar.WindowDays()[DayCategory::NextPeriod].first, b - 2 * qint64(Max) - 2);
        for (int cell = 1; cell <= Calendar::CellCount; ++cell) {
            QCOMPARE(calendar.DayColor(cell), CellColor::NoCategory);
        }
    }

    // ---- prediction text -----------------------------------------------------------------------

    void predictionText_workedExample()
    {
        writeDates({u"2011/03/01"_qs});
        Calendar calendar = makeCalendar();
        struct Run
        {
            int firstDay; // of March, 32.. for April
            int lastDay;
            const char16_t *caption;
        };
        const Run runs[] = {
            {1, 5, u"今回の生理"},       {6, 9, u"準妊娠しにくい日"},   {10, 12, u"準妊娠しやすい日"},
            {13, 17, u"妊娠しやすい日"}, {18, 18, u"準妊娠しやすい日"}, {19, 19, u"準妊娠しにくい日"},
            {20, 28, u"妊娠しにくい日"}, {29, 35, u"次の生理"},
        };
        for (const int ahead : {0, 1}) {
            QString expected;
            for (const Run &run : runs) {
                for (int day = run.firstDay; day <= run.lastDay; ++day) {
                    const QDate date = QDate(2011, 3, 1).addDays(day - 1 + 28 * ahead);
                    expected +=
                        date.toString(u"yyyy/MM/dd"_qs) + Ideographic + QString::fromUtf16(run.caption) + u"\r\n"_qs;
                }
            }
            QCOMPARE(calendar.PredictionText(28, ahead), expected);
        }
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 3, 29)); // left as the last text computed them
    }

    void predictionText_lineCounts_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("lastLine");
        QTest::newRow("28") << 28 << 35 << u"2011/03/10　今回の生理"_qs << u"2011/04/13　次の生理"_qs;
        QTest::newRow("35") << 35 << 42 << u"2011/03/10　今回の生理"_qs << u"2011/04/20　次の生理"_qs;
        QTest::newRow("0: all next period") << 0 << 7 << u"2011/03/10　次の生理"_qs << u"2011/03/16　次の生理"_qs;
        QTest::newRow("21: nothing before P0")
            << 21 << 28 << u"2011/03/10　準妊娠しにくい日"_qs << u"2011/04/06　次の生理"_qs;
        QTest::newRow("-6: one day") << -6 << 1 << u"2011/03/10　次の生理"_qs << u"2011/03/10　次の生理"_qs;
        QTest::newRow("-7: empty") << -7 << 0 << QString() << QString();
        QTest::newRow("limit")
            << Calendar::MaxTextCycleLength << Calendar::MaxTextCycleLength + 7 << u"2011/03/10　今回の生理"_qs
            << QDate(2011, 3, 10).addDays(Calendar::MaxTextCycleLength + 6).toString(u"yyyy/MM/dd"_qs) +
                   u"　次の生理"_qs;
    }

    void predictionText_lineCounts()
    {
        QFETCH(int, length);
        QFETCH(int, lines);
        writeDates({u"2011/03/10"_qs});
        Calendar calendar = makeCalendar();
        const QString text = calendar.PredictionText(length, 0);
        QStringList split = text.split(u"\r\n"_qs);
        QCOMPARE(split.takeLast(), QString()); // the last line ends with CR LF too
        QCOMPARE(split.size(), lines);
        if (lines > 0) {
            QTEST(split.front(), "firstLine");
            QTEST(split.back(), "lastLine");
        }
        QVERIFY(!text.contains(u"\n\r"_qs));
        for (const QString &line : std::as_const(split)) {
            QVERIFY(line.size() > 11 && line.at(10) == QChar(0x3000));
        }
    }

    void predictionText_tooLongOrOutOfYears_throws()
    {
        writeDates({u"2011/03/01"_qs});
        Calendar calendar = makeCalendar();
        QCOMPARE(errorOf([&] { calendar.PredictionText(Calendar::MaxTextCycleLength + 1, 0); }),
                 u"周期 100001 日は長すぎます (予測の文面は 100000 日以下の周期で作ります)"_qs);
        QCOMPARE(errorOf([&] { calendar.PredictionText(2147483647, 0); }),
                 u"周期 2147483647 日は長すぎます (予測の文面は 100000 日以下の周期で作ります)"_qs);
        QCOMPARE(errorOf([&] { calendar.PredictionText(28, 200000); }),
                 u"予測の日付が 0001/01/01 から 9999/12/31 の範囲を超えます"_qs);
        QCOMPARE(errorOf([&] { calendar.PredictionText(28, -100000); }),
                 u"予測の日付が 0001/01/01 から 9999/12/31 の範囲を超えます"_qs);
    }

    void predictionText_leavesTheGridAndMemosAlone()
    {
        writeDates({u"2011/03/01"_qs});
        writeMemos({u"2011/03/03,\"x\""_qs});
        Calendar calendar = makeCalendar();
        calendar.PredictMonth(2011, 3, 28, 0, false, true);
        writeMemos({u"2011/03/04,\"y\""_qs});
        QVERIFY(!calendar.PredictionText(30, 2).isEmpty());
        QCOMPARE(calendar.MemoDays(), QList<QDate>{QDate(2011, 3, 3)});
        QCOMPARE(calendar.DayColor(3 + 2), CellColor::MemoMark);
        QCOMPARE(calendar.DayColor(1 + 2), CellColor::ThisPeriod);
        QCOMPARE(calendar.CycleWindows()[0], QDate(2011, 4, 30));
    }
};

QTEST_GUILESS_MAIN(TestPrediction)
#include "tst_prediction.moc"
