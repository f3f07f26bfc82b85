#pragma once

// The program built for installation, started on a data folder of the test's own: its data folder
// follows XDG_DATA_HOME, and without a display it runs only from the command line.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

// The caller owns the process.
inline QProcess *startProgram(const QString &home, const QStringList &arguments)
{
    auto *process = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(EVELUNA_INSTALLED_BINARY), arguments);
    return process;
}
