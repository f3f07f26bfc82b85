#pragma once

#include <QColor>
#include <QFont>
#include <QList>

class QFrame;
class QWidget;

// Colours and fonts that hold under any platform theme, light or dark, and whatever font it offers.
// The rule for every window: a background colour is never set without the text colour that goes with it,
// nor a text colour without its background, so that every text keeps a contrast of at least 4.5:1.

// The contrast ratio of two colours as WCAG 2 defines it: 1 (equal) to 21 (black on white).
double contrastRatio(const QColor &a, const QColor &b);

// The smallest contrast the program's texts keep against their backgrounds.
constexpr double MinimumTextContrast = 4.5;

// The design colour when it keeps MinimumTextContrast against background; otherwise the same hue made
// lighter (on a dark background) or darker until it does: the navy caption turns light blue on a dark
// window.
QColor readableTextColor(const QColor &design, const QColor &background);

// The background and text colour of a label or panel (Window and WindowText, in every colour group).
void setPanelColors(QWidget *widget, const QColor &background, const QColor &text);

// The background and text colour of an edit box or text box (Base and Text, in every colour group).
void setFieldColors(QWidget *field, const QColor &base, const QColor &text);

// A caption drawn in a design colour straight on the window (no background of its own): the text takes
// readableTextColor on the background around it, now and after every change of the theme's colours.
void setCaptionColor(QWidget *label, const QColor &design);

// The font the dialogs are laid out for: Tahoma of 8 points, as installed here (see fonts.h).
QFont dialogDesignFont();

// Gives a window its design font, so that it and its controls keep the sizes they were laid out for
// whatever font the platform theme sets for the application or for kinds of controls. Edit boxes and spin
// boxes already in the window take at least 12 pixels, where a full stop still reads as one.
void useDesignFont(QWidget *window, const QFont &font = dialogDesignFont());

// Gives the cells of a grid (labels side by side, each with a one-pixel frame) frames of `color` that lie
// on whole device pixels: a logical pixel rounded to whole device pixels on each side, with both edges of
// every cell rounded the same way as its neighbour's. The style's own frames are drawn in the text colour
// and, at 1.5 device pixels per pixel, come out 3 and 4 device pixels wide between neighbours.
void frameGridCells(const QList<QFrame *> &cells, const QColor &color);
