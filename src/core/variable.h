#pragma once

#include <QString>

// Process-wide state shared by the windows: where the data files lie and the two calendar marks.
// Fixed once when the main window is created; only the marks change afterwards.
namespace Variable {

extern QString AppDir;          // folder of the data files, ending in "/"
extern QString DateFilePath;    // AppDir + "date.dat"
extern QString SettingFilePath; // AppDir + "setting.ini"
extern QString MemoFilePath;    // AppDir + "dateMemo.dat"
extern QString TempFilePath;    // AppDir + "dateTemp.dat" (basal body temperature)
extern QString DayFilePath;     // AppDir + "dateDay.dat" (bleeding, pain, symptoms and the rest of a day)
extern bool ShowToday;
extern bool ShowMemos;
// Whether the first save creates a missing AppDir (see prepareFolderOf). Set by the entry of the
// installed program, whose data folder lies in the user's home and may not exist yet; the portable
// program keeps its files beside itself, in a folder that exists as long as it runs.
extern bool CreateAppDirOnSave;

// Sets the paths from the folder of the data files and switches both marks off.
void initFileLocations(const QString &dataDir);

// A base folder of the XDG rules: xdgValue (the variable's value) when it is an absolute path, else
// "<home>/<underHome>" (unset, empty and relative values are ignored, as the rules say).
QString xdgBaseFolder(const QString &xdgValue, const QString &home, const QString &underHome);

// Where a program built for installation keeps the data files: "<XDG_DATA_HOME>/eveluna/", or
// "<home>/.local/share/eveluna/" when that variable is unset, empty or not an absolute path (the XDG
// base directory rule, which says to ignore relative values).
QString userDataDir(const QString &xdgDataHome, const QString &home);

// Called before a file is written. When CreateAppDirOnSave is set, the file lies in AppDir and AppDir is
// missing, creates it and any missing parents with mode 0700, so that other local
// users cannot list or read the records. False with the system's reason in errorText when that fails.
// Any other path, and a folder that exists (whatever its mode), is left alone.
bool prepareFolderOf(const QString &filePath, QString &errorText);

// mkdir -p with mode 0700 for each folder it creates; existing folders keep their mode. False with the
// system's reason in errorText when a folder cannot be made.
bool makePrivatePath(const QString &folder, QString &errorText);

// The user's home: $HOME when it is an absolute path, else (unset, empty or relative, which would put
// files under the working folder) the home of the account in the password database.
QString userHome();

// "<folder of the executable>/<base name><suffix>", the base name being the file name without its last
// extension, so a renamed executable finds the files of its own new name.
QString besideExecutable(const QString &executablePath, const QString &suffix);

// The help file: the executable's path with its extension replaced by ".chm" (appended when it has none).
QString helpFilePath(const QString &executablePath);

} // namespace Variable
