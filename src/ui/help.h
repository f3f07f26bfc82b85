#pragma once

class QWidget;

// Opens the help for the running executable through the desktop: the compiled .chm when a viewer for
// it exists, else the HTML copy. Never reports anything to the user and never blocks for long.
void openHelpFile(QWidget *parent);
