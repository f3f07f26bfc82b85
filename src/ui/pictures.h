#pragma once

// The small pictures on the buttons and window titles, drawn with QPainter at whatever size is asked for.
// Drawing them ourselves keeps start-up free of icon theme look-ups and of the image format plugins that
// reading the style's PNG pictures would load.

#include <QIcon>
#include <QImage>

enum class Picture {
    PreviousMonth, // green disc with a white arrow to the left
    NextMonth,     // green disc with a white arrow to the right
    Today,         // green check mark
    Memo,          // sheet of notes with a pencil
    Entry,         // calendar page with a plus
    List,          // lines of a list with bullets
    Mail,          // envelope
    Help,          // blue disc with a white question mark
    Exit,          // red cross
    Save,          // floppy disk
    Delete,        // waste bin
    Close,         // dark cross
    Calendar,      // calendar page (the main window's icon)
    Notice,        // yellow bell
};

// A scalable icon; the disabled state is the same drawing in light grey.
QIcon picture(Picture which);

// The picture drawn on side x side pixels, premultiplied ARGB; needs no window system.
QImage pictureImage(Picture which, int side);
