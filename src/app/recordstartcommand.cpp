#include "recordstartcommand.h"

#include "errors.h"
#include "exitstatus.h"
#include "layout.h"
#include "recordstart.h"
#include "singleinstance.h"
#include "variable.h"

#include <QRegularExpression>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The answer line of recordStartAnswer, taken apart and printed.
ExitStatus printAnswer(const QString &answer)
{
    bool isNumber = false;
    const int status = answer.section(u' ', 0, 0).toInt(&isNumber);
    const QString line = answer.section(u' ', 1);
    if (!isNumber) {
        print(stderr, QStringLiteral("eveluna --record-start: 起動中の Easy VELUNA の応答が読めません"));
        return ExitStatus::Failed;
    }
    print(status == exitCode(ExitStatus::Done) ? stdout : stderr,
          status == exitCode(ExitStatus::Done) ? line : QStringLiteral("eveluna --record-start: ") + line);
    return ExitStatus(status);
}

} // namespace

QString recordStartAnswer(const QDate &day)
{
    try {
        const RecordStartResult result = recordPeriodStart(Variable::DateFilePath, day, QDate::currentDate());
        const ExitStatus status = result.outcome == RecordStartOutcome::Future ? ExitStatus::Refused : ExitStatus::Done;
        return QString::number(exitCode(status)) + u' ' + recordStartText(result);
    } catch (const AppError &e) {
        return QString::number(exitCode(ExitStatus::Failed)) + u' ' + e.message();
    }
}

ExitStatus runRecordStartCommand(const QString &dayText)
{
    QDate day = QDate::currentDate();
    if (!dayText.isEmpty()) {
        static const QRegularExpression isoDay(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
        day = isoDay.match(dayText).hasMatch() ? QDate::fromString(dayText, Qt::ISODate) : QDate();
        if (!day.isValid()) {
            print(stderr, QStringLiteral("eveluna --record-start: ''%1'' は日付ではありません (yyyy-mm-dd)")
                              .arg(quotedValue(dayText)));
            return ExitStatus::Refused;
        }
    }
    if (const std::optional<QString> answer = SingleInstance().askRecordStart(day)) {
        return printAnswer(*answer);
    }
    if (!useCommandLineDataFolder("--record-start")) {
        return ExitStatus::Failed;
    }
    return printAnswer(recordStartAnswer(day));
}
