#include "datafiles.h"

#include <QDir>

const DataFile *findDataFile(const QString &fileName)
{
    for (const DataFile &file : DataFiles) {
        if (fileName == QLatin1String(file.name)) {
            return &file;
        }
    }
    return nullptr;
}

QString dataFilePath(const QString &folder, DataKind kind)
{
    for (const DataFile &file : DataFiles) {
        if (file.kind == kind) {
            return QDir(folder).filePath(dataFileName(file));
        }
    }
    Q_UNREACHABLE();
    return QString();
}
