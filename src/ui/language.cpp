#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void useJapaneseForQt()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // One file at the place Qt's translations are installed (Debian: qt6-translations-l10n), found with
    // a single look-up and mapped, not read: no search through language and country variants. Without
    // it Qt's own texts stay English and the program works all the same.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}
