#pragma once

#include <QString>

#include <optional>

// Where this build of the program keeps its three data files. Every executable links exactly one of
// layout-portable.cpp and layout-installed.cpp, so a second layout costs one small file and a link,
// not a second build of the program.
struct DataLayout
{
    QString folder;             // the folder of date.dat, dateMemo.dat and setting.ini
    bool createdOnSave = false; // whether the first save has to create that folder
    QString refusal;            // not empty: the folder must not be used, and this says why
};

// Where the layout puts the data folder, unchecked (refusal only when there is no folder at all).
DataLayout programDataLayout();

// The data folder every entry point works on: programDataLayout() with the folder rules applied
// (folderrules.h), read anew at each call. With a refusal the entry touches no data file and shows
// nothing but that one line: the window in its error box, a command-line option on standard error.
DataLayout checkedDataLayout();

// checkedDataLayout() for an option of the command line ("--remind"): the layout, or after the line
// "eveluna <option>: <refusal>" on standard error nothing, and the caller ends with status 1. A folder
// that may be used is tidied first, as the window's start does (removeStaleTemporaryFiles).
std::optional<DataLayout> commandLineDataLayout(const char *option);

// commandLineDataLayout(option) made the process's data folder (Variable's paths, and whether the
// first save creates the folder); false when it must not be used, after its one line on standard error.
bool useCommandLineDataFolder(const char *option);
