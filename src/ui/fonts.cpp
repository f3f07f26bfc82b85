#include "fonts.h"

#include <QFontDatabase>

// The window is laid out for Tahoma and its month caption for ＭＳ ゴシック; both are seldom installed
// here. Asked for a missing family, Qt has fontconfig sort every installed font, once per script of the
// text, before it tries the substitutes: a few milliseconds of start-up. So the fonts name the first
// installed family of the design family and its substitutes, keeping the rest as fallbacks. The list
// of installed families is at hand once the font database is loaded; asking Qt about one family
// instead would run fontconfig's substitution rules for each.
QStringList installedFamilies(const QString &family)
{
    QStringList families = QFont::substitutes(family);
    families.prepend(family);
    const QStringList installed = QFontDatabase::families();
    while (families.size() > 1 && !installed.contains(families.front(), Qt::CaseInsensitive)) {
        families.removeFirst();
    }
    return families;
}

// The families from the first one that has Japanese letters on. For captions of Japanese text only:
// a Latin face first in the list would add nothing to them but one more font engine to load, and with
// a second family Qt asks fontconfig for a sorted fallback list of every installed font, once per script.
QStringList japaneseFamilies(const QStringList &families)
{
    QStringList japanese = families;
    while (japanese.size() > 1 && !QFontDatabase::writingSystems(japanese.front()).contains(QFontDatabase::Japanese)) {
        japanese.removeFirst();
    }
    return japanese;
}

QFont designFont(const QStringList &families, int pixels, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// One Japanese face behind both families: each further face file costs start-up time and about 2 MiB of
// resident memory once its glyphs are read. The fixed-pitch IPA gothic stands in for the fixed-pitch
// ＭＳ ゴシック, and for Tahoma too: it is a sans face with Latin letters of its own, so the captions that
// mix "(&E)" with Japanese need no second family. With a second family Qt has fontconfig sort every
// installed font once per script of the text (Latin, Han, Hiragana, Katakana): about 2 ms of start-up.
void installFontSubstitutes()
{
    // Where the face itself is installed, the font database lists it under its English name.
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"),
                               {QStringLiteral("MS Gothic"), QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), QStringList{QStringLiteral("IPAGothic")});
}
