// eveluna-print.so: the print dialog, in a module of its own so that Qt Print Support is loaded on the
// first print rather than at every start (see printdialog.h).

#include "printdialog.h"

#include <QPrintDialog>
#include <QPrinter>

#include <type_traits>

extern "C" Q_DECL_EXPORT bool evelunaShowPrintDialog(QWidget *parent, const PrintJob &job)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(job.documentName);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        job.savePdf(printer.outputFileName());
    } else {
        job.paint(printer);
    }
    return true;
}

// The loader's function type and this entry must stay alike.
static_assert(std::is_same_v<ShowPrintDialogFunction, decltype(&evelunaShowPrintDialog)>);
