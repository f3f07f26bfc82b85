// Build-time tool: renders the program's own window icon (the calendar page of pictures.cpp) as the PNG
// files of the menu entry, so the menu and the window show the same picture.
// Usage: eveluna-render-icon <output folder> <file name> <size>...
// Writes <output folder>/<size>x<size>/<file name> for each size, in pixels, on the offscreen platform.

#include "pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

int main(int argc, char *argv[])
{
    // No display at build time: draw into memory only.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: eveluna-render-icon <output folder> <file name> <size>...\n");
        return 2;
    }
    const QDir output(arguments.at(1));
    const QIcon icon = picture(Picture::Calendar);
    for (const QString &sizeText : arguments.mid(3)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "not a size: %s\n", qPrintable(sizeText));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            icon.paint(&painter, image.rect());
        }
        const QString folder = QStringLiteral("%1x%1").arg(size);
        const QString path = output.filePath(folder + QLatin1Char('/') + arguments.at(2));
        if (!output.mkpath(folder) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
