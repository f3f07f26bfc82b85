#include "view.h"
#include "ui_view.h"

#include "buttonkeys.h"
#include "calendar.h"
#include "datetext.h"
#include "guard.h"
#include "linefile.h"
#include "memo.h"
#include "memofile.h"
#include "periodfile.h"
#include "pictures.h"
#include "variable.h"

#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>

namespace {

// The captions were laid out for one particular UI font; like auto-sized static texts, each label takes
// the width its text needs in the font at hand instead of clipping it.
void fitLabelsToText(QWidget *form)
{
    for (QLabel *label : form->findChildren<QLabel *>()) {
        label->resize(label->sizeHint().width(), label->height());
    }
}

// One text line per entry at the font's natural size would be taller than the lists were laid out for.
constexpr int ItemHeight = 14;

void addUncheckedItem(QListWidget *list, const QString &text)
{
    auto *item = new QListWidgetItem(text, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setSizeHint(QSize(0, ItemHeight));
}

QList<CheckedEntry> entriesOf(const QListWidget *list)
{
    QList<CheckedEntry> entries;
    entries.reserve(list->count());
    for (int row = 0; row < list->count(); ++row) {
        const QListWidgetItem *item = list->item(row);
        entries.append({item->text(), item->checkState() == Qt::Checked});
    }
    return entries;
}

// Puts the entries back as they came out of a deletion: remaining order and check marks kept.
void showEntries(QListWidget *list, const QList<CheckedEntry> &entries)
{
    list->clear();
    for (const CheckedEntry &entry : entries) {
        addUncheckedItem(list, entry.text);
        if (entry.checked) {
            list->item(list->count() - 1)->setCheckState(Qt::Checked);
        }
    }
}

// A deletion that stops midway has already taken entries out of `shown`; the list follows it in both
// cases so that its positions stay those of the file lines.
template<typename Deletion> void deleteCheckedEntries(QListWidget *list, const QString &path, Deletion deletion)
{
    QList<CheckedEntry> shown = entriesOf(list);
    try {
        deletion(path, shown);
    } catch (...) {
        showEntries(list, shown);
        throw;
    }
    showEntries(list, shown);
}

} // namespace

TfrmView::TfrmView(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::frmView>())
{
    ui->setupUi(this);
    followButtonConventions(this);
    fitLabelsToText(this);
    ui->btnDayDelete->setIcon(picture(Picture::Delete));
    ui->btnMemoDelete->setIcon(picture(Picture::Delete));
    ui->btmClose->setIcon(picture(Picture::Close));
    ui->lstMemoDays->viewport()->installEventFilter(this);

    connect(ui->btnDayDelete, &QPushButton::clicked, this, [this] { btnDayDeleteClick(); });
    connect(ui->btnMemoDelete, &QPushButton::clicked, this, [this] { btnMemoDeleteClick(); });
    connect(ui->btmClose, &QPushButton::clicked, this, [this] { btmCloseClick(); });

    FormCreate();
}

TfrmView::~TfrmView()
{
    // The list outlives ui by a moment while the dialog's children are deleted.
    ui->lstMemoDays->viewport()->removeEventFilter(this);
}

bool TfrmView::eventFilter(QObject *watched, QEvent *event)
{
    // Like the list box it stands for, a double click anywhere in the list opens the selected day,
    // also below the last entry.
    if (watched == ui->lstMemoDays->viewport() && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        lstMemoDaysDblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmView::FormCreate()
{
    guarded(this, [this] {
        if (!QFileInfo::exists(Variable::DateFilePath)) {
            return;
        }
        const LineFile dates = LineFile::readIfExists(Variable::DateFilePath);
        for (const QString &line : dates.lines()) {
            addUncheckedItem(ui->lstDays, line);
        }
        fillMemoDays();
    });
}

void TfrmView::fillMemoDays()
{
    ui->lstMemoDays->clear();
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    engine.LoadMemoDays();
    for (const QDate &day : engine.MemoDays()) {
        addUncheckedItem(ui->lstMemoDays, formatDateText(day));
    }
}

void TfrmView::btnDayDeleteClick()
{
    guarded(this, [this] { deleteCheckedEntries(ui->lstDays, Variable::DateFilePath, DeletePeriodStarts); });
}

void TfrmView::btnMemoDeleteClick()
{
    guarded(this, [this] { deleteCheckedEntries(ui->lstMemoDays, Variable::MemoFilePath, DeleteMemoLines); });
}

void TfrmView::lstMemoDaysDblClick()
{
    guarded(this, [this] {
        const QList<QListWidgetItem *> selected = ui->lstMemoDays->selectedItems();
        if (selected.isEmpty()) {
            return;
        }
        {
            TfrmMemo memo(this);
            memo.setDateText(selected.first()->text());
            memo.exec();
        }
        fillMemoDays();
    });
}

void TfrmView::btmCloseClick()
{
    reject();
}
