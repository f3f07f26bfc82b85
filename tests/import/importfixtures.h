#pragma once

// What the import tests share: files written and read back whole, a zip made in memory, a small Apple
// Health export and the program built for installation started on a data folder of the test's own.
#include "installedprogram.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTest>

#include <archive.h>
#include <archive_entry.h>

using Files = QMap<QString, QByteArray>;

inline const QDateTime Noon(QDate(2026, 12, 7), QTime(12, 0));

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Every file under the folder by relative path, backups included unless withBackups is false.
inline Files snapshot(const QString &folder, bool withBackups = true)
{
    Files files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!withBackups && QDir(folder).relativeFilePath(path).startsWith(QLatin1String("backup/"))) {
            continue;
        }
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(QDir(folder).relativeFilePath(path), file.readAll());
    }
    return files;
}

inline QStringList strings(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items) {
        result << QString::fromUtf8(item);
    }
    return result;
}

inline QByteArray zipOf(const char *entryName, const QByteArray &bytes)
{
    QByteArray out(bytes.size() + 4096, '\0');
    size_t used = 0;
    archive *a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, out.data(), size_t(out.size()), &used);
    archive_entry *entry = archive_entry_new();
    archive_entry_set_pathname(entry, entryName);
    archive_entry_set_size(entry, bytes.size());
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_write_header(a, entry);
    archive_write_data(a, bytes.constData(), size_t(bytes.size()));
    archive_entry_free(entry);
    archive_write_close(a);
    archive_write_free(a);
    out.truncate(qsizetype(used));
    return out;
}

inline const QByteArray HealthXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE HealthData [
<!ELEMENT HealthData (ExportDate,Me,(Record|Workout)*)>
<!ATTLIST HealthData locale CDATA #REQUIRED>
<!ELEMENT Record (MetadataEntry*)>
<!ATTLIST Record type CDATA #REQUIRED value CDATA #IMPLIED unit CDATA #IMPLIED startDate CDATA #REQUIRED>
]>
<HealthData locale="ja_JP">
 <ExportDate value="2026-12-01 10:00:00 +0900"/>
 <Me HKCharacteristicTypeIdentifierBiologicalSex="HKBiologicalSexFemale"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowMedium" startDate="2026-10-02 07:00:00 +0900" endDate="2026-10-02 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowLight" startDate="2026-10-03 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowNone" startDate="2026-10-20 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueVaginalBleedingHeavy" startDate="2026-10-30 23:30:00 -0500">
  <MetadataEntry key="HKMenstrualCycleStart" value="1"/>
 </Record>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueVaginalBleedingMedium" startDate="2026-10-31 07:00:00 +0900">
  <MetadataEntry key="HKMenstrualCycleStart" value="0"/>
 </Record>
 <Record type="HKQuantityTypeIdentifierBasalBodyTemperature" unit="degC" value="36.47" startDate="2026-10-02 06:30:00 +0900"/>
 <Record type="HKQuantityTypeIdentifierBasalBodyTemperature" unit="degF" value="98.1" startDate="2026-10-03 06:30:00 +0900"/>
 <Record type="HKQuantityTypeIdentifierStepCount" unit="count" value="4000" startDate="2026-10-03 06:30:00 +0900"/>
 <Record type="HKQuantityTypeIdentifierBasalBodyTemperature" unit="degC" value="hot" startDate="2026-10-04 06:30:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMenstrualFlow" value="HKCategoryValueMenstrualFlowUnspecified" startDate="2026-10-04 07:00:00 +0900"/>
 <Record type="HKQuantityTypeIdentifierBodyMass" unit="lb" value="120" startDate="2026-10-02 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierAbdominalCramps" value="HKCategoryValueSeverityMild" startDate="2026-10-02 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierHeadache" value="HKCategoryValueSeverityUnspecified" startDate="2026-10-02 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierNausea" value="HKCategoryValueSeverityNotPresent" startDate="2026-10-02 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierMoodChanges" value="HKCategoryValuePresencePresent" startDate="2026-10-03 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierOvulationTestResult" value="HKCategoryValueOvulationTestResultIndeterminate" startDate="2026-10-12 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierCervicalMucusQuality" value="HKCategoryValueCervicalMucusQualityCreamy" startDate="2026-10-13 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierCervicalMucusQuality" value="HKCategoryValueCervicalMucusQualityEggWhite" startDate="2026-10-14 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierOvulationTestResult" value="HKCategoryValueOvulationTestResultLuteinizingHormoneSurge" startDate="2026-10-14 07:00:00 +0900"/>
 <Record type="HKCategoryTypeIdentifierSexualActivity" value="HKCategoryValueNotApplicable" startDate="2026-10-14 22:00:00 +0900">
  <MetadataEntry key="HKSexualActivityProtectionUsed" value="1"/>
 </Record>
 <Record type="HKCategoryTypeIdentifierIntermenstrualBleeding" value="HKCategoryValueNotApplicable" startDate="2026-10-15 07:00:00 +0900"/>
</HealthData>
)";
