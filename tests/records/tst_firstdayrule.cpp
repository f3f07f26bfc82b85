#include "firstdayrule.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// "05-01 05-11": days of 2026, or written out ("2025-12-30"), separated by spaces.
QList<QDate> days(const char *list)
{
    QList<QDate> result;
    for (const QString &text : QString::fromLatin1(list).split(u' ', Qt::SkipEmptyParts)) {
        result.append(QDate::fromString(text.size() == 5 ? QStringLiteral("2026-") + text : text, Qt::ISODate));
    }
    return result;
}

} // namespace

class TestFirstDayRule : public QObject
{
    Q_OBJECT

private slots:
    void fromBleeding_data();
    void fromBleeding();
    void samePeriod_data();
    void samePeriod();
    void withMarks_80000Marks_wellUnderASecond();
};

void TestFirstDayRule::fromBleeding_data()
{
    QTest::addColumn<QList<QDate>>("bleeding");
    QTest::addColumn<QList<QDate>>("expected");

    QTest::newRow("the 1st and the 11th: one period") << days("05-11 05-01") << days("05-01");
    QTest::newRow("the 1st and the 12th: two periods") << days("05-01 05-12") << days("05-01 05-12");
}

void TestFirstDayRule::fromBleeding()
{
    QFETCH(QList<QDate>, bleeding);
    QFETCH(QList<QDate>, expected);
    QCOMPARE(firstDaysFromBleeding(bleeding), expected);
}

void TestFirstDayRule::samePeriod_data()
{
    QTest::addColumn<QList<QDate>>("registered");
    QTest::addColumn<QList<QDate>>("day");
    QTest::addColumn<QList<QDate>>("expected"); // empty: a period of its own

    const QList<QDate> registered = days("03-01 05-01 05-21");
    QTest::newRow("10 days after the newest") << registered << days("05-31") << days("05-21");
    QTest::newRow("11 days after the newest") << registered << days("06-01") << days("");
    QTest::newRow("between two, nearer the later") << registered << days("05-12") << days("05-21");
    QTest::newRow("equally near two: the earlier") << registered << days("05-11") << days("05-01");
    QTest::newRow("10 days before the oldest") << registered << days("02-19") << days("03-01");
}

void TestFirstDayRule::samePeriod()
{
    QFETCH(QList<QDate>, registered);
    QFETCH(QList<QDate>, day);
    QFETCH(QList<QDate>, expected);
    const QDate found = samePeriodFirstDay(registered, day.value(0));
    QCOMPARE(found, expected.value(0));
}

void TestFirstDayRule::withMarks_80000Marks_wellUnderASecond()
{
    QList<QDate> marks;
    QList<QDate> bleeding;
    // Each mark a period of its own, with a bleeding day after it: every first day the bleeding gives is
    // looked up among all the marks.
    const QDate start(1000, 1, 1);
    for (int i = 0; i < 80000; ++i) {
        marks.append(start.addDays(qint64(i) * 12));
        bleeding.append(start.addDays(qint64(i) * 12 + 1));
    }
    QElapsedTimer timer;
    timer.start();
    const QList<QDate> result = firstDaysWithMarks(bleeding, marks);
    QCOMPARE(result.size(), marks.size());
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_APPLESS_MAIN(TestFirstDayRule)
#include "tst_firstdayrule.moc"
