#include "importpreview.h"
#include "ui_importpreview.h"

#include "look.h"

TfrmImportPreview::TfrmImportPreview(const QString &file, const QString &preview, bool changesAnything, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmImportPreview>())
{
    ui->setupUi(this);
    useDesignFont(this);
    ui->lblFile->setText(file);
    ui->txtPreview->setPlainText(preview);
    // Nothing new to take: only キャンセル makes sense, and it is the default.
    ui->btnImport->setEnabled(changesAnything);
    ui->btnCancel->setDefault(!changesAnything);
    connect(ui->btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmImportPreview::~TfrmImportPreview() = default;
