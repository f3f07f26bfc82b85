#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmImportPreview;
}

// ほかのアプリから読み込む: a file dialog, the file read on a worker thread (a large Apple Health export
// takes seconds) under a busy indicator, the preview, and on 読み込む a backup and the merge, with a
// notice that names the backup. True when the data files were changed. Throws AppError for a file that
// cannot be read (nothing written) or a data file that cannot be written.
bool importFromOtherApp(QWidget *parent, const QString &dataFolder);

// What an import would do, before anything is written: the preview text of the import library and
// 読み込む / キャンセル. Accepted means the user wants the records merged.
class TfrmImportPreview final : public QDialog
{
    Q_OBJECT

public:
    TfrmImportPreview(const QString &file, const QString &preview, bool changesAnything, QWidget *parent = nullptr);
    ~TfrmImportPreview() override;

private:
    std::unique_ptr<Ui::frmImportPreview> ui;
};
