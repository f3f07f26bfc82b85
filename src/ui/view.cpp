#include "view.h"
#include "ui_view.h"

#include "backups.h"
#include "buttonkeys.h"
#include "calendar.h"
#include "datetext.h"
#include "dayrecordfile.h"
#include "dayrecordpanel.h"
#include "exportfile.h"
#include "guard.h"
#include "help.h"
#include "history.h"
#include "importpreview.h"
#include "linefile.h"
#include "look.h"
#include "memo.h"
#include "memofile.h"
#include "periodfile.h"
#include "pictures.h"
#include "temperaturefile.h"
#include "variable.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>

#include <functional>

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

// Fills the list in one insertion: entry by entry the list would be told of each one separately, and
// 100,000 memo days then took seconds.
void fillList(QListWidget *list, const QStringList &texts, const QList<bool> &checked = {})
{
    list->clear();
    list->addItems(texts);
    {
        // The new entries are not laid out or painted yet; telling the view of each change would only
        // cost time. It lays them out and paints them once, below.
        const QSignalBlocker quiet(list->model());
        for (int row = 0; row < list->count(); ++row) {
            QListWidgetItem *item = list->item(row);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
            item->setCheckState(checked.value(row) ? Qt::Checked : Qt::Unchecked);
        }
        // With uniform item sizes the view takes every entry's height from the first one.
        if (list->count() > 0) {
            list->item(0)->setSizeHint(QSize(0, ItemHeight));
        }
    }
    list->doItemsLayout();
    list->viewport()->update();
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
    QStringList texts;
    QList<bool> checked;
    texts.reserve(entries.size());
    checked.reserve(entries.size());
    for (const CheckedEntry &entry : entries) {
        texts.append(entry.text);
        checked.append(entry.checked);
    }
    fillList(list, texts, checked);
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

TfrmView::TfrmView(QWidget *parent, QString cycleLengthText)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ui(std::make_unique<Ui::frmView>())
    , m_cycleLengthText(std::move(cycleLengthText))
{
    ui->setupUi(this);
    installHelpKey(this, QStringLiteral("view.html"));
    followButtonConventions(this);
    useDesignFont(this);
    fitLabelsToText(this);
    ui->btnDayDelete->setIcon(picture(Picture::Delete));
    ui->btnMemoDelete->setIcon(picture(Picture::Delete));
    ui->btmClose->setIcon(picture(Picture::Close));
    ui->btnHistory->setIcon(picture(Picture::List));
    ui->lstMemoDays->viewport()->installEventFilter(this);
    // Every entry has the same height, so the lists need not measure 100,000 entries one by one.
    ui->lstDays->setUniformItemSizes(true);
    ui->lstMemoDays->setUniformItemSizes(true);

    connect(ui->btnDayDelete, &QPushButton::clicked, this, [this] { btnDayDeleteClick(); });
    connect(ui->btnMemoDelete, &QPushButton::clicked, this, [this] { btnMemoDeleteClick(); });
    connect(ui->btnHistory, &QPushButton::clicked, this, [this] { btnHistoryClick(); });
    connect(ui->btmClose, &QPushButton::clicked, this, [this] { btmCloseClick(); });
    m_tempDays = addListPanel(1, QStringLiteral("体温一覧"), QStringLiteral("削除(&T)"), ui->btnMemoDelete,
                              [this] { btnTempDeleteClick(); });
    m_dayRecords = addListPanel(2, QStringLiteral("記録一覧"), QStringLiteral("削除(&R)"), m_lastDelete,
                                [this] { btnDayRecordDeleteClick(); });
    connect(ui->btnImport, &QPushButton::clicked, this, [this] { btnImportClick(); });
    connect(ui->btnExportAll, &QPushButton::clicked, this, [this] { btnExportAllClick(); });
    connect(ui->btnRestore, &QPushButton::clicked, this, [this] { btnRestoreClick(); });

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
        // Read again after an import or a restore, which may also have removed the files.
        ui->lstDays->clear();
        ui->lstMemoDays->clear();
        m_tempDays->clear();
        m_dayRecords->clear();
        if (QFileInfo::exists(Variable::DateFilePath)) {
            fillList(ui->lstDays, LineFile::readIfExists(Variable::DateFilePath).lines());
            fillMemoDays();
        }
        // The readings and day records stand on their own, also before a first day is registered.
        fillTemperatureDays();
        fillDayRecords();
    });
}

QListWidget *TfrmView::addListPanel(int column, const QString &caption, const QString &deleteText, QWidget *tabAfter,
                                    const std::function<void()> &deleteChecked)
{
    // Laid out as the memo panel and `column` panels to its right.
    const int step = ui->Panel2->x() - ui->Panel1->x();
    auto *panel = new QFrame(this);
    panel->setFrameStyle(ui->Panel2->frameStyle());
    panel->setGeometry(ui->Panel2->geometry().translated(step * column, 0));
    auto *list = new QListWidget(panel);
    list->setGeometry(ui->lstMemoDays->geometry());
    list->setUniformItemSizes(true);
    list->setAccessibleName(caption);
    auto *remove = new QPushButton(deleteText, panel);
    remove->setGeometry(ui->btnMemoDelete->geometry());
    remove->setAutoDefault(false);
    remove->setIcon(picture(Picture::Delete));
    auto *label = new QLabel(caption, this);
    label->setGeometry(ui->StaticText2->geometry().translated(step * column, 0));
    label->setAutoFillBackground(true);
    label->resize(label->sizeHint().width(), label->height());
    setFixedSize(width() + step, height());
    // The buttons that act on all the records span every panel, this one included.
    for (QPushButton *button : {ui->btnImport, ui->btnExportAll, ui->btnRestore}) {
        button->resize(button->width() + step, button->height());
    }
    setTabOrder(tabAfter, list);
    setTabOrder(list, remove);
    connect(remove, &QPushButton::clicked, this, [this, deleteChecked] { guarded(this, deleteChecked); });
    // Each entry begins with its day: a double click opens that day's dialog.
    connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        guarded(this, [&] {
            {
                TfrmMemo memo(this);
                memo.setDateText(item->text().section(u' ', 0, 0));
                memo.exec();
            }
            fillMemoDays();
            fillTemperatureDays();
            fillDayRecords();
        });
    });
    m_lastDelete = remove;
    return list;
}

void TfrmView::fillTemperatureDays()
{
    // The day and its reading: "2026/05/01 36.52", "2026/05/02 37.80 除外".
    QStringList texts;
    for (const TemperatureReading &reading : readTemperatureFile(Variable::TempFilePath).readings) {
        texts.append(formatDateText(reading.date) + u' ' + formatCentiDegrees(reading.centiDegrees) +
                     (reading.excluded ? QStringLiteral(" 除外") : QString()));
    }
    fillList(m_tempDays, texts);
}

void TfrmView::fillDayRecords()
{
    QStringList texts;
    for (const DayRecord &record : readDayFile(Variable::DayFilePath).records) {
        texts.append(formatDateText(record.date) + u' ' + DayRecordPanel::summary(record));
    }
    fillList(m_dayRecords, texts);
}

// The days of the checked entries of a list whose entries begin with their day.
static QList<QDate> checkedDays(const QListWidget *list)
{
    QList<QDate> days;
    for (const CheckedEntry &entry : entriesOf(list)) {
        if (entry.checked) {
            days.append(parseDateText(entry.text.section(u' ', 0, 0)));
        }
    }
    return days;
}

void TfrmView::btnTempDeleteClick()
{
    if (const QList<QDate> days = checkedDays(m_tempDays); !days.isEmpty()) {
        deleteTemperatureReadings(Variable::TempFilePath, days);
    }
    fillTemperatureDays();
}

void TfrmView::btnDayRecordDeleteClick()
{
    if (const QList<QDate> days = checkedDays(m_dayRecords); !days.isEmpty()) {
        deleteDayRecords(Variable::DayFilePath, days);
    }
    fillDayRecords();
}

void TfrmView::fillMemoDays()
{
    ui->lstMemoDays->clear();
    Calendar engine(Variable::DateFilePath, Variable::MemoFilePath);
    engine.LoadMemoDays();
    QStringList texts;
    texts.reserve(engine.MemoDays().size());
    for (const QDate &day : engine.MemoDays()) {
        texts.append(formatDateText(day));
    }
    fillList(ui->lstMemoDays, texts);
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
        fillTemperatureDays();
        fillDayRecords();
    });
}

void TfrmView::btnHistoryClick()
{
    guarded(this, [this] {
        // Without a usable length in the calendar there is no predicted day to show either.
        std::optional<int> cycleLength;
        try {
            cycleLength = parseIntegerText(m_cycleLengthText);
        } catch (const EConvertError &) {
        }
        TfrmHistory history(cycleLength, this);
        installHelpKey(&history, QStringLiteral("history.html"));
        history.exec();
    });
    emit historyClosed();
}

void TfrmView::btmCloseClick()
{
    reject();
}

void TfrmView::btnImportClick()
{
    guarded(this, [this] {
        if (importFromOtherApp(this, Variable::AppDir)) {
            FormCreate();
            emit filesReplaced();
        }
    });
}

void TfrmView::btnExportAllClick()
{
    guarded(this, [this] {
        const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("すべてのデータを書き出す"),
                                                          QDir::home().filePath(QStringLiteral("eveluna-export.json")),
                                                          QStringLiteral("JSON (*.json)"));
        if (file.isEmpty()) {
            return;
        }
        writeExport(Variable::AppDir, file);
        showInfoBox(this, QStringLiteral("すべてのデーターを %1 に書き出しました。").arg(file));
    });
}

void TfrmView::btnRestoreClick()
{
    guarded(this, [this] {
        TfrmBackups backups(Variable::AppDir, this);
        backups.exec();
        if (backups.restored()) {
            FormCreate();
            emit filesReplaced();
        }
    });
}
