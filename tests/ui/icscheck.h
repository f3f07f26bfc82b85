#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

// What python3-icalendar (and with `khal`, khal import --batch and its listing) make of a calendar file:
// the JSON object of ics_check.py (its path given by ICS_CHECK_SCRIPT at build time); empty on failure.
inline QJsonObject checkIcsFile(const QString &path, bool khal = false)
{
    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments{QStringLiteral(ICS_CHECK_SCRIPT), path};
    if (khal) {
        arguments << QStringLiteral("--khal");
    }
    check.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!check.waitForFinished(30000) || check.exitCode() != 0) {
        return {};
    }
    return QJsonDocument::fromJson(check.readAllStandardOutput()).object();
}
