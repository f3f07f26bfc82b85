#include "commandline.h"

#include "errors.h"
#include "fertilitystatus.h"
#include "importcommand.h"
#include "layout.h"
#include "noticesettings.h"
#include "panelstatus.h"
#include "recordstartcommand.h"
#include "statusreport.h"
#include "synccommand.h"
#include "temperaturestatus.h"
#include "variable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QJsonDocument>

#include <cstdio>
#include <cstring>

namespace {

// Qt's own options for a window program: they start the window as before.
const QStringList QtValueOptions = {
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("geometry"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("title"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("icon"),
    QStringLiteral("session"),
    QStringLiteral("display"),
    QStringLiteral("name"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("qmljsdebugger"),
};
// X11's -sync (a debugging aid of Qt's) is left out: "sync" is our own --sync.
const QStringList QtFlagOptions = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                   QStringLiteral("dograb")};

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString helpText()
{
    return QStringLiteral(
        "使い方: eveluna [オプション]\n"
        "オプションなしで起動すると、予測カレンダーのウィンドウを開きます。\n"
        "\n"
        "オプション:\n"
        "  -h, --help       このヘルプを表示して終わります。\n"
        "  -v, --version    バージョンを表示して終わります。\n"
        "  --remind         今日が通知の日なら、デスクトップ通知を表示して終わります (ログイン時の通知)。\n"
        "  --status         次の生理までの日数と見込みを1行で表示して終わります (パネル用)。\n"
        "  --status --json  同じ内容を JSON で表示して終わります。\n"
        "  --status --waybar\n"
        "                   waybar の custom モジュール用の JSON (text, tooltip, class) を表示します。\n"
        "  --status --short 「あと5日」「生理3日目」「2日遅れ」のように短く表示します。\n"
        "  --remind-at temperature|pill\n"
        "                   体温を測る・ピルを飲む時刻の通知を表示します (systemd のタイマーが実行します)。\n"
        "  --record-start [yyyy-mm-dd]\n"
        "                   その日 (省略すると今日) を生理開始日として登録します。\n"
        "  --import ファイル  ほかのアプリ (Apple Health, drip., Clue, Flo, Mensinator)、日付の CSV、\n"
        "                   このプログラムの書き出しから記録を読み込みます。先にバックアップを作ります。\n"
        "  --import ファイル --dry-run\n"
        "                   読み込む内容を表示するだけで、何も書き込みません。\n"
        "  --export ファイル  すべての記録と設定 (パスワードを除く) を JSON で書き出します。\n"
        "  --sync           設定したカレンダーのサーバー (CalDAV) と同期して終わります。\n"
        "                   終了コード: 0 同期した、2 設定がない・使えない、4 サーバーに接続できない・断られた。\n");
}

bool hasOption(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            return true;
        }
    }
    return false;
}

enum class StatusFormat { Line, Json, Waybar, Short };

ExitStatus printStatus(StatusFormat format)
{
    const std::optional<DataLayout> layout = commandLineDataLayout("--status");
    if (!layout) {
        return ExitStatus::Failed;
    }
    Variable::initFileLocations(layout->folder);
    try {
        const StatusInput input =
            readStatusInput(Variable::DateFilePath, Variable::SettingFilePath, Variable::DayFilePath);
        for (const QString &notice : input.notices) {
            print(stderr, QStringLiteral("eveluna: %1\n").arg(notice));
        }
        const QDate today = QDate::currentDate();
        const BodyStatus body = bodyStatusJson(Variable::DateFilePath, Variable::TempFilePath, input.dayRecords, today);
        const StatusReport report = computeStatus(input, today, body.temperature, body.fertility);
        const bool discreet = readNoticeSettings(Variable::SettingFilePath).discreet;
        switch (format) {
        case StatusFormat::Json:
            print(stdout, QString::fromUtf8(QJsonDocument(statusJson(report)).toJson(QJsonDocument::Compact)) + u'\n');
            break;
        case StatusFormat::Waybar:
            print(stdout,
                  QString::fromUtf8(QJsonDocument(waybarJson(report, discreet)).toJson(QJsonDocument::Compact)) +
                      u'\n');
            break;
        case StatusFormat::Short:
            print(stdout, shortStatus(report, discreet) + u'\n');
            break;
        case StatusFormat::Line:
            print(stdout, statusLine(report) + u'\n');
            break;
        }
    } catch (const AppError &e) {
        print(stderr, QStringLiteral("eveluna: %1\n").arg(e.message()));
        return ExitStatus::Failed;
    }
    return ExitStatus::Done;
}

} // namespace

CommandLineResult runCommandLine(int argc, char *argv[])
{
    // The usual start from the menu: no parsing, no extra application object on the way to the window.
    if (!hasOption(argc, argv)) {
        return {};
    }
    // A plain core application: no display is needed for anything decided here.
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption remind(QStringLiteral("remind"), QString());
    const QCommandLineOption status(QStringLiteral("status"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption import(QStringLiteral("import"), QString(), QStringLiteral("file"));
    const QCommandLineOption exportAll(QStringLiteral("export"), QString(), QStringLiteral("file"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption sync(QStringLiteral("sync"), QString());
    const QCommandLineOption waybar(QStringLiteral("waybar"), QString());
    const QCommandLineOption shortText(QStringLiteral("short"), QString());
    const QCommandLineOption remindAt(QStringLiteral("remind-at"), QString(), QStringLiteral("reminder"));
    const QCommandLineOption recordStart(QStringLiteral("record-start"), QString());
    // The run that "あとで" schedules: shown even when the reminder was shown today already.
    QCommandLineOption again(QStringLiteral("again"), QString());
    again.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, remind, status, json, import, exportAll, dryRun, sync, waybar, shortText,
                       remindAt, recordStart, again});
    for (const QString &name : QtValueOptions) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : QtFlagOptions) {
        QCommandLineOption option(name, QString());
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    const QString hint = QStringLiteral("使い方は「eveluna --help」で表示できます。\n");
    if (!parser.parse(QCoreApplication::arguments())) {
        const QStringList unknown = parser.unknownOptionNames();
        // Qt's own wording (a value missing after --import, say) in brackets after ours.
        QString reason = QStringLiteral("オプションの使い方が正しくありません (%1)").arg(parser.errorText());
        if (!unknown.isEmpty()) {
            // As she typed it, with one dash or two.
            QString typed = unknown.first();
            for (const QString &argument : QCoreApplication::arguments()) {
                if (argument.startsWith(u'-') && argument.section(u'=', 0, 0).endsWith(u'-' + unknown.first())) {
                    typed = argument.section(u'=', 0, 0);
                    break;
                }
            }
            reason = QStringLiteral("不明なオプションです: %1").arg(typed);
        }
        print(stderr, QStringLiteral("eveluna: %1\n").arg(reason) + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(help)) {
        print(stdout, helpText());
        return {CommandLineAction::Done, ExitStatus::Done};
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("Easy VELUNA %1\n").arg(QStringLiteral(EVELUNA_VERSION)));
        return {CommandLineAction::Done, ExitStatus::Done};
    }
    for (const QCommandLineOption *format : {&json, &waybar, &shortText}) {
        if (parser.isSet(*format) && !parser.isSet(status)) {
            print(stderr,
                  QStringLiteral("eveluna: --%1 は --status と一緒に使います。\n").arg(format->names().first()) + hint);
            return {CommandLineAction::Done, ExitStatus::Refused};
        }
    }
    if (int(parser.isSet(json)) + int(parser.isSet(waybar)) + int(parser.isSet(shortText)) > 1) {
        print(stderr, QStringLiteral("eveluna: --json, --waybar, --short はどれか一つだけ使えます。\n") + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(again) && !parser.isSet(remindAt)) {
        print(stderr, QStringLiteral("eveluna: --again は --remind-at と一緒に使います。\n") + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(remindAt)) {
        const QString word = parser.value(remindAt);
        for (const DailyReminder reminder : {DailyReminder::Temperature, DailyReminder::Pill}) {
            if (word == dailyReminderWord(reminder)) {
                return {CommandLineAction::RemindAt, ExitStatus::Done, reminder, parser.isSet(again)};
            }
        }
        print(stderr,
              QStringLiteral("eveluna: --remind-at には temperature か pill を指定します: %1\n").arg(word) + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(recordStart)) {
        const QStringList days = parser.positionalArguments();
        if (days.size() > 1) {
            print(stderr, QStringLiteral("eveluna: --record-start に指定できる日付は一つです。\n") + hint);
            return {CommandLineAction::Done, ExitStatus::Refused};
        }
        return {CommandLineAction::Done, runRecordStartCommand(days.value(0))};
    }
    if (parser.isSet(dryRun) && !parser.isSet(import)) {
        print(stderr, QStringLiteral("eveluna: --dry-run は --import と一緒に使います。\n") + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(import) && parser.isSet(exportAll)) {
        print(stderr, QStringLiteral("eveluna: --import と --export は一緒に使えません。\n") + hint);
        return {CommandLineAction::Done, ExitStatus::Refused};
    }
    if (parser.isSet(status)) {
        const StatusFormat format = parser.isSet(json)        ? StatusFormat::Json
                                    : parser.isSet(waybar)    ? StatusFormat::Waybar
                                    : parser.isSet(shortText) ? StatusFormat::Short
                                                              : StatusFormat::Line;
        return {CommandLineAction::Done, printStatus(format)};
    }
    if (parser.isSet(import)) {
        return {CommandLineAction::Done, runImportCommand(parser.value(import), parser.isSet(dryRun))};
    }
    if (parser.isSet(exportAll)) {
        return {CommandLineAction::Done, runExportCommand(parser.value(exportAll))};
    }
    if (parser.isSet(sync)) {
        return {CommandLineAction::Done, runSyncCommand()};
    }
    if (parser.isSet(remind)) {
        return {CommandLineAction::Remind, ExitStatus::Done};
    }
    return {};
}
