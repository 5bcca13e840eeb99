#include "SheetExport.h"

#include "BatchProgress.h"
#include "BatchSheets.h"
#include "SheetPdf.h"
#include "SheetPrinter.h"
#include "base/Clock.h"
#include "base/TextRules.h"
#include "record/DateRules.h"
#include "sheet/SheetView.h"
#include "storage/ProgramFiles.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>

namespace brenvoll {

namespace {

QString g_lastFolder; // where the last PDF went

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

void reportFailure(QWidget* parent, const QString& path, const QString& reason)
{
    MessageBox::warning(parent, QStringLiteral("无法导出到文件“%1”：%2。").arg(shownPath(path), reason));
}

// The save dialog for a PDF, proposing `name` in the folder used last. The
// chosen path with ".pdf", or empty when the operator cancelled, chose one of
// the program's own files (and was told so) or does not want an existing
// file replaced.
QString choosePdfPath(QWidget* parent, const QString& title, const QString& name)
{
    if (g_lastFolder.isEmpty()) {
        g_lastFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    }
    const QString chosen = FileDialogs::saveFileName(parent, title, QStringLiteral("PDF文件 (*.pdf)"),
                                                     QDir(g_lastFolder).filePath(name));
    if (trimBlanks(chosen).isEmpty()) {
        return {};
    }
    QString path = withPdfSuffix(chosen);
    g_lastFolder = QFileInfo(path).absolutePath();
    const QString refusal = refusalOf(path, programFiles());
    if (!refusal.isEmpty()) {
        reportFailure(parent, path, refusal);
        return {};
    }
    if (QFileInfo::exists(path) &&
        !MessageBox::askYesNo(parent, QStringLiteral("文件“%1”已存在，要替换它吗？").arg(shownPath(path)))) {
        return {};
    }
    return path;
}

// Writes one sheet into a PDF file at `path`; false when the operator was
// told why not.
bool writeSheetPdf(QWidget* parent, const QString& path, const SheetSnapshot& sheet,
                   const PrintMargins& margins)
{
    SheetPdfWriter writer(path, sheet.title.text);
    bool written = writer.open();
    if (written) {
        writer.addPage(sheet, margins.left, margins.top);
        written = writer.commit();
    }
    if (!written) {
        reportFailure(parent, path, writer.errorString());
    }
    return written;
}

enum class BatchEnd
{
    Drawn,
    Cancelled,
    Unreadable,
};

// Draws the pages of a batch from line `start` on; `line` tells the line that
// could not be read, `fit` adds up the texts fitted into their boxes.
BatchEnd drawBatch(const PrintHost& host, SheetPdfWriter& writer, int start, int& line, SheetFit& fit)
{
    BatchSheets sheets(host);
    const PrintMargins margins = printMargins();
    const int count = host.lineCount();
    BatchProgress progress(host.parent(), count - start, QStringLiteral("批量导出PDF"),
                           QStringLiteral("正在导出第 %1 页，共 %2 页……"), QStringLiteral("pdfProgress"));
    SheetSnapshot page;
    for (line = start; line < count; ++line) {
        if (!progress.next(line - start)) {
            return BatchEnd::Cancelled;
        }
        if (!sheets.sheetOf(line, page)) {
            return BatchEnd::Unreadable;
        }
        fit += sheetFit(page);
        writer.addPage(page, margins.left, margins.top);
    }
    return BatchEnd::Drawn;
}

} // namespace

QPrintPreviewDialog* previewSheet(QWidget* parent, const SheetView& view)
{
    QPrinter* printer = sheetPagePrinter().release();
    printer->setDocName(QStringLiteral("健康体检反馈表"));
    auto* dialog = new QPrintPreviewDialog(printer, parent);
    QObject::connect(dialog, &QObject::destroyed, [printer] { delete printer; });
    dialog->setObjectName(QStringLiteral("sheetPreview"));
    dialog->setWindowTitle(QStringLiteral("打印预览"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Tall enough for the whole page to be read at its first zoom.
    const QRect screen = dialog->screen()->availableGeometry();
    dialog->resize(qMin(screen.width(), screen.height() * 3 / 4), screen.height() * 9 / 10);
    // The sheet as it stands when the preview opens, on every page drawn for
    // it: the preview's and those printed from it.
    const SheetSnapshot sheet = snapshotOf(view);
    const PrintMargins margins = printMargins();
    tellFittedTexts(parent, sheetFit(sheet));
    QObject::connect(
        dialog, &QPrintPreviewDialog::paintRequested, dialog, [sheet, margins, dialog](QPrinter* target) {
            // Printed into a PDF file from the print dialog: the file is
            // written as every export is. The preview's own pages come here
            // too, with the file's name still set, drawn by a picture engine.
            if (target->outputFormat() == QPrinter::PdfFormat && !target->outputFileName().isEmpty() &&
                target->paintEngine()->type() != QPaintEngine::Picture) {
                writeSheetPdf(dialog, target->outputFileName(), sheet, margins);
                return;
            }
            QPainter painter(target);
            drawSheet(painter, sheet, margins.left, margins.top);
            painter.end();
        });
    dialog->open();
    return dialog;
}

void exportSheetPdf(QWidget* parent, const SheetView& view)
{
    const QString path =
        choosePdfPath(parent, QStringLiteral("导出PDF"),
                      proposedPdfName(view.box(Field::Name)->text(), view.box(Field::ExamDate)->text(),
                                      formatDate(Clock::today())));
    if (path.isEmpty()) {
        return;
    }
    const SheetSnapshot sheet = snapshotOf(view);
    const PrintMargins margins = printMargins();
    tellFittedTexts(parent, sheetFit(sheet));
    if (!writeSheetPdf(parent, path, sheet, margins)) {
        return;
    }
    MessageBox::notice(parent, QStringLiteral("已导出到文件“%1”。").arg(shownPath(path)));
}

void exportPagePdf(QWidget* parent, const QString& dialogTitle, const QString& proposedName,
                   const QString& docTitle, const PageDrawing& draw, const QStringList& shown)
{
    const QString path = choosePdfPath(parent, dialogTitle, proposedName);
    if (path.isEmpty()) {
        return;
    }
    const PrintMargins margins = printMargins();
    SheetPdfWriter writer(path, docTitle);
    bool written = writer.open();
    if (written) {
        writer.addPage(draw, margins.left, margins.top, shown);
        written = writer.commit();
    }
    if (!written) {
        reportFailure(parent, path, writer.errorString());
        return;
    }
    MessageBox::notice(parent, QStringLiteral("已导出到文件“%1”。").arg(shownPath(path)));
}

void exportBatchPdf(const PrintHost& host, const QString& proposedName)
{
    QWidget* const parent = host.parent();
    if (host.lineCount() < 1 || !host.sheet()) {
        MessageBox::notice(parent, QStringLiteral("无当前导出表格，请查询后再导出！"));
        return;
    }
    const QString path = choosePdfPath(parent, QStringLiteral("批量导出PDF"), proposedName);
    if (path.isEmpty()) {
        return;
    }
    SheetPdfWriter writer(path, host.sheet()->title()->text());
    if (!writer.open()) {
        reportFailure(parent, path, writer.errorString());
        return;
    }
    int line = 0;
    SheetFit fit;
    switch (drawBatch(host, writer, qMax(0, host.selectedLine()), line, fit)) {
    case BatchEnd::Cancelled:
        MessageBox::notice(parent, QStringLiteral("批量导出已取消，没有生成文件。"));
        return;
    case BatchEnd::Unreadable:
        MessageBox::warning(parent,
                            QStringLiteral("第 %1 页（%2）无法读取该记录。\n批量导出已停止，没有生成文件。")
                                .arg(QString::number(writer.pageCount() + 1), host.textOfLine(line)));
        return;
    case BatchEnd::Drawn:
        break;
    }
    // Once for the whole batch, before the file appears under its name.
    tellFittedTexts(parent, fit);
    if (!writer.commit()) {
        reportFailure(parent, path, writer.errorString());
        return;
    }
    MessageBox::notice(
        parent, QStringLiteral("已导出 %1 页到文件“%2”。").arg(writer.pageCount()).arg(shownPath(path)));
}

} // namespace brenvoll
