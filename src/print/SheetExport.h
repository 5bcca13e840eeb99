#pragma once
// The sheet into PDF files, and on screen as it will print.
#include "PrintHost.h"
#include "SheetDrawing.h"

#include <QString>

class QPrintPreviewDialog;
class QWidget;

namespace brenvoll {

class SheetView;

// Qt's print preview of what `view` shows now, drawn as it prints: on the
// page a sheet is printed on, moved by the margins. Printing from it goes to
// the printer chosen there. The dialog deletes itself when it is closed.
QPrintPreviewDialog* previewSheet(QWidget* parent, const SheetView& view);

// Asks for a file, proposing the sheet's name and date, and writes what
// `view` shows now into it as one A4 page, as it prints.
void exportSheetPdf(QWidget* parent, const SheetView& view);

// Asks for a file under `dialogTitle`, proposing `proposedName`, and writes
// one A4 page drawn by `draw` (which draws the texts `shown`, in order) into
// it, as printPage() prints it, under the document title `docTitle`.
void exportPagePdf(QWidget* parent, const QString& dialogTitle, const QString& proposedName,
                   const QString& docTitle, const PageDrawing& draw, const QStringList& shown);

// Asks for a file, proposing `proposedName`, and writes the records of the
// result list from the selected line (none: the first) to the last into it,
// one page each in list order, as batch printing prints them. The sheet and
// the list stay as they are.
void exportBatchPdf(const PrintHost& host, const QString& proposedName);

} // namespace brenvoll
