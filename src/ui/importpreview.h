#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmImportPreview;
}

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
