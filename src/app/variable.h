#pragma once

#include <QString>

// Process-wide state shared by the windows: where the three data files lie and the two calendar marks.
// Fixed once when the main window is created; only the marks change afterwards.
namespace Variable {

extern QString AppDir;          // folder of the executable, ending in "/"
extern QString DateFilePath;    // AppDir + "date.dat"
extern QString SettingFilePath; // AppDir + "setting.ini"
extern QString MemoFilePath;    // AppDir + "dateMemo.dat"
extern bool ShowToday;
extern bool ShowMemos;

// Sets the paths from the folder of the running executable and switches both marks off.
void initFileLocations(const QString &executableDir);

// "<folder of the executable>/<base name><suffix>", the base name being the file name without its last
// extension, so a renamed executable finds the files of its own new name.
QString besideExecutable(const QString &executablePath, const QString &suffix);

// The help file: the executable's path with its extension replaced by ".chm" (appended when it has none).
QString helpFilePath(const QString &executablePath);

} // namespace Variable
