#pragma once

#include <QFont>
#include <QStringList>

// The text of the report pages and the 症状 chart: the families given (Japanese faces first), a whole
// number of pixels in the painter's units (1/96 inch).
inline QFont historyFont(const QStringList &families, int pixels, bool bold = false)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
