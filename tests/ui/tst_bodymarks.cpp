// Her body's marks over the month grid: the fertile days so far with the days after a positive test,
// and 排卵後 up to the next first day, on top of the rule's colours, told in the cells' tooltips.

#include "bodymarks.h"
#include "mainwindow.h"
#include "testfiles.h"

#include <QHelpEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

namespace {

// 7 December 2025, a Sunday: December's first cell is Monday the 1st, the second cell.
const QDate Today(2025, 12, 7);

// Readings and day records from a first day, a token a day: "3640" a reading, "3640/2" with mucus
// (0 t .. 4 S+), "3640/2/positive" with an ovulation test.
void appendDays(QByteArray &temperatures, QByteArray &records, QDate day, const QString &tokens)
{
    for (const QString &token : tokens.split(u' ', Qt::SkipEmptyParts)) {
        const QStringList parts = token.split(u'/');
        const QByteArray date = day.toString(QStringLiteral("yyyy/MM/dd")).toLatin1();
        temperatures += date + ',' + QByteArray::number(parts[0].toInt() / 100.0, 'f', 2) + "\r\n";
        QByteArray fields;
        if (parts.size() > 1) {
            fields += ",mucus=" + parts[1].toLatin1();
        }
        if (parts.size() > 2) {
            fields += ",lh=" + parts[2].toLatin1();
        }
        if (!fields.isEmpty()) {
            records += date + fields + "\r\n";
        }
        day = day.addDays(1);
    }
}

} // namespace

class TestBodyMarks : public QObject
{
    Q_OBJECT

private slots:
    void grid_data();
    void grid();
};

void TestBodyMarks::grid_data()
{
    QTest::addColumn<QString>("current");    // from 2025-11-21
    QTest::addColumn<QList<int>>("fertile"); // December days marked, by kind
    QTest::addColumn<QList<int>>("mostFertile");
    QTest::addColumn<QList<int>>("post");

    // No mucus records: the shift confirmed on 12-05; still fertile on 12-07, nothing marked ahead.
    QTest::newRow("in the fertile phase")
        << QStringLiteral("3640 3645 3650 3640 3645 3650 3640 3645 3650 3640 3645 3650 3670 3670 3675 3680 3680")
        << QList<int>{1, 2, 3, 4, 5, 6, 7} << QList<int>() << QList<int>();
    // A positive test on 12-01; the mucus peak (12-02) found with the shift on 12-05: 排卵後 from 12-06
    // up to the day before the next first day by the rule (the own length of 28 days: 12-19).
    QList<int> post;
    for (int day = 6; day <= 18; ++day) {
        post << day;
    }
    QTest::newRow("after the fertile phase")
        << QStringLiteral("3640 3645 3650 3640 3645 3650/0 3640/0 3645/1 3650/2 3640/3 3645/4/positive 3650/4 "
                          "3670/3 3670/2 3675/0 3680/0 3680/4")
        << QList<int>{4, 5} << QList<int>{1, 2, 3} << post;
}

void TestBodyMarks::grid()
{
    QFETCH(QString, current);
    QFETCH(QList<int>, fertile);
    QFETCH(QList<int>, mostFertile);
    QFETCH(QList<int>, post);

    QTemporaryDir dir;
    QByteArray temperatures;
    QByteArray records;
    // The cycle before has its shift confirmed, so the 5-day rule applies to the current one.
    appendDays(temperatures, records, QDate(2025, 10, 21),
               QStringLiteral("3640 3645 3650 3640 3645 3650 3640 3645 3650 3640 3645 3650 3640 3645 3650 3650 "
                              "3675 3675 3675 3675 3675 3675 3675 3675 3675 3675 3675 3675 3675 3675 3675"));
    appendDays(temperatures, records, QDate(2025, 11, 21), current);
    QVERIFY(writeFile(dir.filePath(QStringLiteral("date.dat")), "2025/11/21\r\n2025/10/21\r\n"));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("dateTemp.dat")), temperatures));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("dateDay.dat")), records));

    TfrmMain window(dir.path(), [] { return Today; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *layer = window.findChild<BodyMarkLayer *>();
    QVERIFY(layer);
    const QImage picture = window.grab().toImage();
    for (int day = 1; day <= 31; ++day) {
        const int k = day; // December 2025 begins in the second cell
        const BodyMark expected = fertile.contains(day)       ? BodyMark::Fertile
                                  : mostFertile.contains(day) ? BodyMark::MostFertile
                                  : post.contains(day)        ? BodyMark::Post
                                                              : BodyMark::None;
        QCOMPARE(int(layer->mark(k)), int(expected));

        auto *cell = window.findChild<QLabel *>(QStringLiteral("pnlDay%1").arg(k + 1, 2, 10, QLatin1Char('0')));
        QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), cell->mapToGlobal(QPoint(4, 4)));
        QApplication::sendEvent(cell, &help);
        const QString tip = QToolTip::text();
        QCOMPARE(tip.contains(bodyFertileCaption()),
                 expected == BodyMark::Fertile || expected == BodyMark::MostFertile);
        QCOMPARE(tip.contains(QStringLiteral("排卵は1〜2日以内の見込み")), expected == BodyMark::MostFertile);
        QCOMPARE(tip.contains(bodyPostCaption()), expected == BodyMark::Post);

        // The frame lies inside the cell's border, over the rule's colour, which stays the cell's own.
        const QRect geometry(cell->mapTo(&window, QPoint(0, 0)), cell->size());
        const QColor frame = picture.pixelColor(geometry.left() + 3, geometry.center().y());
        const bool framed = expected == BodyMark::Fertile || expected == BodyMark::MostFertile;
        QCOMPARE(frame == cell->palette().color(cell->backgroundRole()), !framed);
    }
}

QTEST_MAIN(TestBodyMarks)
#include "tst_bodymarks.moc"
