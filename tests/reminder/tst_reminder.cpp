#include "duenotice.h"

#include <QTest>

Q_DECLARE_METATYPE(NoticeSettings)

// Newest first day 2026-12-01 and a 28-day cycle: the next period from 2026-12-29, the likely days
// 2026-12-13 to 2026-12-17.
class TestReminder : public QObject
{
    Q_OBJECT

private slots:
    void dueNotice_onEachDay_data();
    void dueNotice_onEachDay();
};

void TestReminder::dueNotice_onEachDay_data()
{
    QTest::addColumn<NoticeSettings>("settings");
    QTest::addColumn<int>("cycleLength");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("summary"); // empty: nothing due
    QTest::addColumn<QString>("body");

    const NoticeSettings defaults;
    NoticeSettings week = defaults;
    week.beforeDays = 7;
    NoticeSettings noBefore = defaults;
    noBefore.before = false;
    NoticeSettings noLate = defaults;
    noLate.late = false;
    NoticeSettings fertile = defaults;
    fertile.fertile = true;
    NoticeSettings shownToday = defaults;
    shownToday.lastNotice = QDate(2026, 12, 27);
    NoticeSettings shownYesterday = defaults;
    shownYesterday.lastNotice = QDate(2026, 12, 26);
    const QString next = QStringLiteral("次の生理予定日は2026年12月29日（火）です。");
    const QString late =
        QStringLiteral("生理予定日は2026年12月29日（火）でした。始まっていたら生理登録をしてください。");

    QTest::newRow("two days ahead") << defaults << 28 << QDate(2026, 12, 27) << QStringLiteral("生理予定日まであと2日")
                                    << next;
    QTest::newRow("three days ahead, two asked") << defaults << 28 << QDate(2026, 12, 26) << QString() << QString();
    QTest::newRow("seven days ahead, seven asked")
        << week << 28 << QDate(2026, 12, 22) << QStringLiteral("生理予定日まであと7日") << next;
    QTest::newRow("the day itself") << defaults << 28 << QDate(2026, 12, 29) << QStringLiteral("生理予定日は今日です")
                                    << next;
    QTest::newRow("the day itself, before off")
        << noBefore << 28 << QDate(2026, 12, 29) << QStringLiteral("生理予定日を過ぎています") << late;
    QTest::newRow("a month late") << defaults << 28 << QDate(2027, 1, 29) << QStringLiteral("生理予定日を過ぎています")
                                  << late;
    QTest::newRow("late, late off") << noLate << 28 << QDate(2026, 12, 30) << QString() << QString();
    QTest::newRow("shown today already") << shownToday << 28 << QDate(2026, 12, 27) << QString() << QString();
    QTest::newRow("shown yesterday") << shownYesterday << 28 << QDate(2026, 12, 27)
                                     << QStringLiteral("生理予定日まであと2日") << next;
    QTest::newRow("first likely day") << fertile << 28 << QDate(2026, 12, 13)
                                      << QStringLiteral("今日から妊娠しやすい日です")
                                      << QStringLiteral(
                                             "妊娠しやすい日は2026年12月13日（日）から2026年12月17日（木）までです。");
    QTest::newRow("first likely day, fertile off") << defaults << 28 << QDate(2026, 12, 13) << QString() << QString();
    QTest::newRow("second likely day") << fertile << 28 << QDate(2026, 12, 14) << QString() << QString();
    QTest::newRow("length 0 predicts nothing late") << defaults << 0 << QDate(2026, 12, 4) << QString() << QString();
}

void TestReminder::dueNotice_onEachDay()
{
    QFETCH(NoticeSettings, settings);
    QFETCH(int, cycleLength);
    QFETCH(QDate, today);
    QFETCH(QString, summary);
    QFETCH(QString, body);

    const std::optional<DueNotice> due = dueNotice(settings, QDate(2026, 12, 1), cycleLength, today);
    QCOMPARE(due.has_value(), !summary.isEmpty());
    if (due) {
        const NoticeText text = noticeText(*due);
        QCOMPARE(text.summary, summary);
        QCOMPARE(text.body, body);
        QCOMPARE(text.offersEntry, due->kind == NoticeKind::Late);
    }
}

QTEST_GUILESS_MAIN(TestReminder)
#include "tst_reminder.moc"
