#pragma once

// The program speaks Japanese whatever the system's language: Qt's own texts (the context menus of the
// text boxes, the date picker's month and weekday names) come from Qt's Japanese translation, and every
// widget takes the Japanese locale, whose weeks start on Sunday like the month grid. Call once the
// application object exists and before any window is made.
void useJapaneseForQt();
