#pragma once

#include <QString>

#include <functional>

class QPagedPaintDevice;
class QWidget;

// What the print dialog prints: the printer's pages, or a PDF file when she chose "print to file".
struct PrintJob
{
    QString documentName;
    std::function<void(QPagedPaintDevice &printer)> paint;
    std::function<void(const QString &pdfPath)> savePdf;
};

// The platform's print dialog, then the job on the printer she chose; false when she cancelled.
// Qt Print Support lives in a module of its own beside the executable (eveluna-modules/eveluna-print.so),
// loaded on the first print: linked into the program, its loading and relocation cost every start about
// 0.4 ms.
// Throws AppError when the module cannot be loaded.
bool showPrintDialog(QWidget *parent, const PrintJob &job);

// The module's one entry, looked up by this name.
using ShowPrintDialogFunction = bool (*)(QWidget *parent, const PrintJob &job);
inline constexpr char ShowPrintDialogSymbol[] = "evelunaShowPrintDialog";
