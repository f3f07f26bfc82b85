#include "importpreview.h"
#include "ui_importpreview.h"

#include "applyimport.h"
#include "errors.h"
#include "guard.h"
#include "help.h"
#include "importfile.h"
#include "look.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QThread>

#include <memory>

TfrmImportPreview::TfrmImportPreview(const QString &file, const QString &preview, bool changesAnything, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmImportPreview>())
{
    ui->setupUi(this);
    useDesignFont(this);
    installHelpKey(this, QStringLiteral("import.html"));
    ui->lblFile->setText(file);
    ui->txtPreview->setPlainText(preview);
    // Nothing new to take: only キャンセル makes sense, and it is the default.
    ui->btnImport->setEnabled(changesAnything);
    ui->btnCancel->setDefault(!changesAnything);
    connect(ui->btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmImportPreview::~TfrmImportPreview() = default;

namespace {

struct ReadResult
{
    ImportedRecords records;
    MergeCounts counts;
    QString failure; // not empty: the reason the file could not be read or compared
};

// Reads the file and counts the merge on a thread of its own while a busy indicator keeps the window
// responsive; returns when the thread has ended, so none is ever left running.
ReadResult readOffTheWindowThread(QWidget *parent, const QString &file, const QString &dataFolder)
{
    ReadResult result;
    std::unique_ptr<QThread> thread(QThread::create([&result, file, dataFolder] {
        try {
            result.records = readImportFile(file);
            result.counts = mergeImport(dataFolder, result.records, false);
        } catch (const EImportError &e) {
            result.failure = escapeControls(QStringLiteral("%1 を読み込めません。%2").arg(file, e.reason()));
        } catch (const AppError &e) {
            result.failure = e.message();
        } catch (const std::exception &e) {
            result.failure = QString::fromUtf8(e.what());
        }
    }));
    QProgressDialog busy(QStringLiteral("読み込んでいます..."), QString(), 0, 0, parent);
    busy.setWindowTitle(QStringLiteral("ほかのアプリから読み込む"));
    busy.setCancelButton(nullptr);
    busy.setMinimumDuration(300);
    busy.setWindowModality(Qt::WindowModal);
    useDesignFont(&busy);
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
    return result;
}

} // namespace

bool importFromOtherApp(QWidget *parent, const QString &dataFolder)
{
    // Her download folder (XDG_DOWNLOAD_DIR in user-dirs.dirs), where an export from a phone lands.
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QString file = QFileDialog::getOpenFileName(
        parent, QStringLiteral("ほかのアプリから読み込む"), QFileInfo(downloads).isDir() ? downloads : QDir::homePath(),
        QStringLiteral("書き出したデーター (*.zip *.xml *.csv *.json);;すべてのファイル (*)"));
    if (file.isEmpty()) {
        return false;
    }
    const ReadResult read = readOffTheWindowThread(parent, file, dataFolder);
    if (!read.failure.isEmpty()) {
        throw EFileError(read.failure);
    }
    // The backup is named for the moment the preview is shown, so the preview can say where it goes.
    const QDateTime now = QDateTime::currentDateTime();
    TfrmImportPreview preview(file, previewText(read.records, read.counts, timedBackupPath(dataFolder, now)),
                              read.counts.changesAnything(), parent);
    if (preview.exec() != QDialog::Accepted) {
        return false;
    }
    const QString backup = applyImport(dataFolder, read.records, now);
    showInfoBox(parent, QStringLiteral("読み込みました。読み込む前のデーターは %1 にあります。").arg(backup));
    return true;
}
