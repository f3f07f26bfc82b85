// The start-up floor: the least a Qt Widgets program does to put a window of the main window's size
// on screen, with a few coloured Japanese captions in the program's design font: IPAGothic (where the
// program's Tahoma lands) at the sizes the main window draws it, 8 points for the captions, 15 pixels
// bold for the month, 15 pixels for the weekdays and 13 pixels for the day numbers, one caption each.
// bench/measure-startup compares the real program with it, so the ratio measures the program and not
// the Japanese face.

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QScreen>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.setFixedSize(444, 273);
    QFont font;
    font.setFamilies({QStringLiteral("IPAGothic")});
    font.setPointSize(8);
    window.setFont(font);

    // Four 100 x 40 labels across the top; the probe looks for their colours at fixed spots.
    const QColor colors[] = {QColor(181, 255, 181), QColor(255, 255, 181), QColor(255, 217, 217),
                             QColor(166, 202, 240)};
    const QString captions[] = {QStringLiteral("生理登録 (E)"), QStringLiteral("2026年12月"),
                                QStringLiteral("日月火水木金"), QStringLiteral("次の生理")};
    // Pixel sizes of the main window's month caption (bold), weekday captions and day numbers; 0: the
    // window's 8 points.
    const int pixels[] = {0, 15, 15, 13};
    int x = 10;
    for (int i = 0; i < 4; ++i) {
        const QColor &color = colors[i];
        auto *label = new QLabel(captions[i], &window);
        if (pixels[i] != 0) {
            QFont size = font;
            size.setPixelSize(pixels[i]);
            size.setBold(i == 1);
            label->setFont(size);
        }
        label->setGeometry(x, 10, 100, 40);
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, color);
        label->setPalette(palette);
        x += 106;
    }

    // Centred like the main window, so both are drawn at the same spot of the screen.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    window.show();
    return QApplication::exec();
}
