#pragma once

// The command line of the accuracy benchmarks: --accuracy_out=FILE for the scored figures as JSON
// (read by run-benchmarks), every other argument Google Benchmark's.

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <benchmark/benchmark.h>

// Takes --accuracy_out=FILE out of the arguments and hands the rest to Google Benchmark. False on an
// argument neither knows, which it has reported.
inline bool initializeAccuracyRun(int &argc, char *argv[], QString &accuracyOut)
{
    const QByteArray option("--accuracy_out=");
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg.startsWith(option)) {
            accuracyOut = QString::fromLocal8Bit(arg.mid(option.size()));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    return !benchmark::ReportUnrecognizedArguments(argc, argv);
}

// The figures to the file given with --accuracy_out, when one was; a file that cannot be written is left.
inline void writeAccuracy(const QString &accuracyOut, const QJsonObject &figures)
{
    if (accuracyOut.isEmpty()) {
        return;
    }
    QFile out(accuracyOut);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(QJsonDocument(figures).toJson());
    }
}
