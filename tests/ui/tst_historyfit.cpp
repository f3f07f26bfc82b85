// The history window at two device pixels per logical pixel on a 1,920 x 1,080 screen (an offscreen
// screen of that size, set before the application starts): it lies inside the screen, and on opening
// the day scale and the newest bar are in view; the table of cycles shows its last column, 計算に入れない,
// without scrolling, and ticking a box there keeps its row in view.

#include "cyclechart.h"
#include "history.h"
#include "variable.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Sixty cycles, far wider than the window, so the chart has to scroll: 61 first days 29 days apart in
// date.dat, newest first, in a data folder of the test's own.
bool useSixtyCycles(const QTemporaryDir &dir)
{
    QByteArray dates;
    for (int i = 0; i < 61; ++i) {
        dates += QDate(2020, 1, 5).addDays(29 * (60 - i)).toString(u"yyyy/MM/dd").toLatin1() + "\r\n";
    }
    QFile file(dir.filePath(u"date.dat"_qs));
    if (!file.open(QIODevice::WriteOnly) || file.write(dates) != dates.size()) {
        return false;
    }
    file.close();
    Variable::initFileLocations(dir.path());
    return true;
}

bool showAndWait(TfrmHistory &history)
{
    history.show();
    if (!QTest::qWaitForWindowExposed(&history)) {
        return false;
    }
    QTest::qWait(50);
    return true;
}

} // namespace

class TestHistoryFit final : public QObject
{
    Q_OBJECT

private slots:
    void historyWindow_atScaleTwo_fitsTheScreenAndShowsAxisAndNewestBar()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(useSixtyCycles(dir));
        TfrmHistory history(29);
        QVERIFY(showAndWait(history));
        const QRect screen = history.screen()->availableGeometry();
        QCOMPARE(screen.size(), QSize(960, 540));
        QVERIFY2(screen.contains(history.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                          .arg(history.frameGeometry().x())
                                                                          .arg(history.frameGeometry().y())
                                                                          .arg(history.frameGeometry().width())
                                                                          .arg(history.frameGeometry().height())));

        const auto *area = history.findChild<QScrollArea *>(u"chartArea"_qs);
        QVERIFY(area != nullptr && area->isVisible());
        // The day scale: a widget of its own left of the scroll area (beside it on the cycle page), inside the
        // window.
        QWidget *axis = nullptr;
        for (QWidget *child : history.findChildren<QWidget *>()) {
            if (child->isVisible() && child->parentWidget() == area->parentWidget() &&
                child->geometry().right() < area->x() && child->y() <= area->y() + area->height() &&
                child->y() + child->height() >= area->y()) {
                axis = child;
            }
        }
        QVERIFY(axis != nullptr);
        QVERIFY(history.rect().contains(QRect(axis->mapTo(&history, QPoint()), axis->size())));
        QVERIFY(axis->width() >= qFloor(CycleChart::LeftMargin));

        // The newest bar lies within the viewport, the scroll bar at its end.
        const QScrollBar *bar = area->horizontalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const double scale = area->widget()->logicalDpiX() / LogicalUnitsPerInch;
        const double newestRight = CycleChart::barRight(59, CycleChart::WindowSlot, false) * scale - bar->value();
        const double newestLeft = newestRight - CycleChart::WindowSlot * scale;
        QVERIFY2(
            newestLeft >= 0 && newestRight <= area->viewport()->width(),
            qPrintable(QStringLiteral("%1..%2 of %3").arg(newestLeft).arg(newestRight).arg(area->viewport()->width())));
    }

    void historyTable_atScaleTwo_keepsLeftOutInView_alsoAfterTicking()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(useSixtyCycles(dir));
        TfrmHistory history(29);
        QVERIFY(showAndWait(history));
        auto *table = history.findChild<QTableWidget *>(u"tblCycles"_qs);
        QVERIFY(table != nullptr && table->isVisible());
        const int leftOut = table->columnCount() - 1;
        QCOMPARE(table->horizontalHeaderItem(leftOut)->text(), u"計算に\n入れない"_qs);
        const auto inView = [table](int row, int column) {
            const QRect cell = table->visualRect(table->model()->index(row, column));
            return table->viewport()->rect().contains(cell);
        };
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        QVERIFY(inView(60, leftOut));

        // A row in the middle of the list, brought into view and ticked.
        const int row = 30;
        table->scrollToItem(table->item(row, leftOut));
        QVERIFY(inView(row, leftOut));
        table->item(row, leftOut)->setCheckState(Qt::Checked);
        QTest::qWait(20);
        QCOMPARE(table->item(row, leftOut)->checkState(), Qt::Checked);
        QVERIFY(inView(row, leftOut));
        QVERIFY(inView(row, 0));
    }
};

int main(int argc, char *argv[])
{
    // A 1,920 x 1,080 screen at twice the logical size, as on a laptop at 2x.
    QTemporaryDir config;
    QFile screens(config.filePath(u"screens.json"_qs));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1920, "height": 1080,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0) {
        return 1;
    }
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHistoryFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_historyfit.moc"
