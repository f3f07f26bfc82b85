#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

// What ics_check.py (ICS_CHECK_SCRIPT) reports of a calendar file; empty on failure.
inline QJsonObject checkIcsFile(const QString &path, bool khal = false)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    check.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(ICS_CHECK_SCRIPT), path, khal ? QStringLiteral("--khal") : QString()});
    if (!check.waitForFinished(30000) || check.exitCode() != 0) {
        return {};
    }
    return QJsonDocument::fromJson(check.readAllStandardOutput()).object();
}
