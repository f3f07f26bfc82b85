// The drawn pictures on a screen with two device pixels per logical pixel (QT_SCALE_FACTOR=2, set before
// the application starts): each is drawn for the device pixels, never an enlarged small picture.

#include "mainwindow.h"
#include "pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The picture drawn directly at `side` device pixels: what a sharp picture must look like.
QImage drawnAt(const QIcon &icon, int side)
{
    return icon.pixmap(QSize(side, side), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage plain(const QPixmap &pixmap)
{
    QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1.0);
    return image;
}

} // namespace

class TestHighDpi : public QObject
{
    Q_OBJECT

private slots:
    void pictures_atRatioTwo_haveDevicePixelsOfTheirOwn_data()
    {
        QTest::addColumn<int>("which");
        for (int k = 0; k <= int(Picture::Calendar); ++k) {
            QTest::newRow(qPrintable(QString::number(k))) << k;
        }
    }

    void pictures_atRatioTwo_haveDevicePixelsOfTheirOwn()
    {
        QFETCH(int, which);
        const QIcon icon = picture(Picture(which));
        const QImage sharp = drawnAt(icon, 32);

        // Asked for the 16-pixel picture at ratio 2, as a button does.
        const QPixmap asked = icon.pixmap(QSize(16, 16), 2.0);
        QCOMPARE(asked.devicePixelRatio(), 2.0);
        QCOMPARE(asked.size(), QSize(32, 32));
        QCOMPARE(plain(asked), sharp);

        // Painted into a ratio-2 surface, as styles and item views do.
        QImage surface(32, 32, QImage::Format_ARGB32_Premultiplied);
        surface.setDevicePixelRatio(2.0);
        surface.fill(Qt::transparent);
        {
            QPainter painter(&surface);
            icon.paint(&painter, QRect(0, 0, 16, 16));
        }
        surface.setDevicePixelRatio(1.0);
        QCOMPARE(surface, sharp);
    }

    void mainWindow_atScaleFactorTwo_iconAndButtonPicturesAreSharp()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TfrmMain window(dir.path(), [] { return QDate(2011, 3, 10); });
        // The window icon's sizes for a title bar at this screen's density.
        const QPixmap icon = window.windowIcon().pixmap(QSize(16, 16));
        QCOMPARE(icon.devicePixelRatio(), 2.0);
        QCOMPARE(plain(icon), drawnAt(picture(Picture::Calendar), 32));
        for (QPushButton *button : window.findChildren<QPushButton *>()) {
            const QPixmap shown = button->icon().pixmap(button->iconSize(), button->devicePixelRatioF());
            QCOMPARE(shown.size(), button->iconSize() * 2);
            QCOMPARE(plain(shown), drawnAt(button->icon(), button->iconSize().width() * 2));
        }
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHighDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
