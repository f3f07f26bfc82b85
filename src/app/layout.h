#pragma once

#include <QString>

// Where this build of the program keeps its three data files. Every executable links exactly one of
// layout-portable.cpp and layout-installed.cpp, so a second layout costs one small file and a link,
// not a second build of the program.
struct DataLayout
{
    QString folder;             // the folder of date.dat, dateMemo.dat and setting.ini
    bool createdOnSave = false; // whether the first save has to create that folder
    QString refusal;            // not empty: the folder must not be used, and this says why
};

// Read once at start-up, before the main window is created.
DataLayout programDataLayout();
