#pragma once

#include <QFont>
#include <QStringList>

// The design family followed by its substitutes, from the first one installed on; the design family
// alone when none is.
QStringList installedFamilies(const QString &family);

// The families from the first one with Japanese letters on (the last one when none has).
QStringList japaneseFamilies(const QStringList &families);

// A font of the families at a size in pixels.
QFont designFont(const QStringList &families, int pixels, bool bold = false);

// Lets the fonts the windows are laid out with render here: the Japanese "ＭＳ ゴシック" as IPAGothic,
// Tahoma as a sans font with Japanese glyphs. Safe to call more than once.
void installFontSubstitutes();
