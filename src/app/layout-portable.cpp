// The portable program: the data files lie beside the executable, whatever the working folder.

#include "layout.h"

#include <QCoreApplication>

DataLayout programDataLayout()
{
    return {QCoreApplication::applicationDirPath(), false, QString()};
}
