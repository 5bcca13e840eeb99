#include "SheetPrinter.h"

#include "SheetPdf.h"
#include "settings/CurrentSettings.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#include <memory>

namespace brenvoll {

const QString kNoPrinterMessage = QStringLiteral("未找到默认打印机，无法打印。");

namespace {

QString g_pdfFolder;
int g_pdfJobs = 0;

// Screen pixels back to twips: a widget where the field map put it keeps the
// designed figure exactly. The resolution is asked for once per sheet.
struct Scale
{
    explicit Scale(const SheetView& sheet) : view(sheet), dpiX(sheet.logicalDpiX()), dpiY(sheet.logicalDpiY())
    {
    }
    const SheetView& view;
    const int dpiX;
    const int dpiY;
    double x(int px, double designed) const
    {
        return qRound(designed * dpiX / 1440.0) == px ? designed : px * 1440.0 / dpiX;
    }
    double y(int px, double designed) const
    {
        // The sheet places its widgets by the horizontal resolution in both directions.
        return qRound(designed * dpiX / 1440.0) == px ? designed : px * 1440.0 / dpiY;
    }
};

FontDef fontOf(const QWidget& widget)
{
    const QFont& font = widget.font();
    double points = font.pointSizeF();
    if (points <= 0) {
        points = font.pixelSize() * 72.0 / widget.logicalDpiY();
    }
    return FontDef{font.family(), points, font.bold()};
}

// Every element keeps its designed size, where a box text finds its room: a
// caption grows on screen to show its whole text, not to make room for it.
SheetText textOf(const Scale& scale, const QWidget& widget, const QString& text, const TwipsRect& designed)
{
    return SheetText{QPointF(scale.x(widget.x(), designed.left), scale.y(widget.y(), designed.top)),
                     fontOf(widget), text, widget.isVisibleTo(&scale.view),
                     QSizeF(designed.width, designed.height)};
}

SheetRule ruleOf(const Scale& scale, const QWidget& widget, const LineDef& def)
{
    const double left = scale.x(widget.x(), qMin(def.x1, def.x2));
    const double top = scale.y(widget.y(), qMin(def.y1, def.y2));
    const double right = scale.x(widget.x() + widget.width() - 1, qMax(def.x1, def.x2));
    const double bottom = scale.y(widget.y() + widget.height() - 1, qMax(def.y1, def.y2));
    // A line is drawn along its long side: a one-pixel widget on screen.
    const bool horizontal = def.y1 == def.y2;
    return SheetRule{QPointF(left, top), horizontal ? QPointF(right, top) : QPointF(left, bottom),
                     widget.isVisibleTo(&scale.view)};
}

std::unique_ptr<QPrinter> a4PdfPrinter()
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setFullPage(true);
    return printer;
}

std::unique_ptr<QPrinter> openTarget(PrintOutcome& outcome)
{
    if (!g_pdfFolder.isEmpty()) {
        auto printer = a4PdfPrinter();
        printer->setOutputFileName(
            QDir(g_pdfFolder)
                .filePath(QStringLiteral("job-%1.pdf").arg(++g_pdfJobs, 5, 10, QLatin1Char('0'))));
        return printer;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        outcome.status = PrintOutcome::NoPrinter;
        return nullptr;
    }
    // The printer's own paper, orientation and printable area: nothing is chosen.
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

} // namespace

void PrintTarget::useDefaultPrinter()
{
    g_pdfFolder.clear();
}

void PrintTarget::usePdfFolder(const QString& folder)
{
    g_pdfFolder = folder;
    g_pdfJobs = 0;
}

QString PrintTarget::pdfFolder()
{
    return g_pdfFolder;
}

bool PrintTarget::available()
{
    return !g_pdfFolder.isEmpty() || !QPrinterInfo::defaultPrinter().isNull();
}

QString PrintOutcome::message() const
{
    switch (status) {
    case Printed:
        return {};
    case NoPrinter:
        return kNoPrinterMessage;
    case Failed:
        break;
    }
    return QStringLiteral("表格没有打印出来：") + reason;
}

SheetSnapshot snapshotOf(const SheetView& view)
{
    const Scale scale{view};
    SheetSnapshot sheet;
    sheet.title = textOf(scale, *view.title(), view.title()->text(), FieldMap::titleRect());
    sheet.title.visible = true; // the title is always printed
    for (const CaptionDef& def : FieldMap::captions()) {
        const QLabel& label = *view.caption(def.index);
        sheet.captions.append(textOf(scale, label, label.text(), def.rect));
    }
    for (const BoxDef& def : FieldMap::boxes()) {
        const QLineEdit& edit = *view.box(def.field);
        (def.set == BoxSet::Identifying ? sheet.identifying : sheet.findings)
            .append(textOf(scale, edit, edit.text(), def.rect));
    }
    for (const LineDef& def : FieldMap::lines()) {
        sheet.lines.append(ruleOf(scale, *view.line(def.index), def));
    }
    return sheet;
}

namespace {

PrintOutcome printDrawn(const QString& docName, const PageDrawing& draw, const PrintMargins& margins,
                        const QStringList& shown)
{
    PrintOutcome outcome;
    const std::unique_ptr<QPrinter> printer = openTarget(outcome);
    if (!printer) {
        return outcome;
    }
    printer->setDocName(docName);
    QPainter painter;
    if (!painter.begin(printer.get())) {
        outcome.status = PrintOutcome::Failed;
        outcome.reason = QStringLiteral("打印机不接受打印任务。");
        return outcome;
    }
    draw(painter, margins.left, margins.top);
    // A job written into a PDF file gets the text maps that readers need.
    if (!painter.end() || printer->printerState() == QPrinter::Error ||
        (!g_pdfFolder.isEmpty() && !makePdfReadable(printer->outputFileName(), shown))) {
        outcome.status = PrintOutcome::Failed;
        outcome.reason = QStringLiteral("打印任务没有完成。");
    }
    return outcome;
}

} // namespace

PrintOutcome printPage(const QString& docName, const PageDrawing& draw, const QStringList& shown)
{
    return printDrawn(docName, draw, printMargins(), shown);
}

PrintOutcome printSheet(const SheetSnapshot& sheet, double leftMarginTwips, double topMarginTwips)
{
    return printDrawn(
        QStringLiteral("健康体检反馈表"),
        [&sheet](QPainter& painter, double left, double top) { drawSheet(painter, sheet, left, top); },
        PrintMargins{leftMarginTwips, topMarginTwips}, drawnTexts(sheet));
}

PrintOutcome printDocument(const QString& name, double insetTwips, const DocumentPainter& paint)
{
    PrintOutcome outcome;
    const std::unique_ptr<QPrinter> printer = openTarget(outcome);
    if (!printer) {
        return outcome;
    }
    printer->setDocName(name);
    const PrintMargins margins = printMargins();
    const double sx = printer->logicalDpiX() / 1440.0;
    const double sy = printer->logicalDpiY() / 1440.0;
    const QRectF page(0, 0, printer->width(), printer->height());
    const QRectF area = page.adjusted((margins.left + insetTwips) * sx, (margins.top + insetTwips) * sy,
                                      -insetTwips * sx, -insetTwips * sy);
    const QStringList shown = paint(*printer, area);
    if (shown.isEmpty() || printer->printerState() == QPrinter::Error) {
        outcome.status = PrintOutcome::Failed;
        outcome.reason = QStringLiteral("打印机不接受打印任务。");
        return outcome;
    }
    if (!g_pdfFolder.isEmpty() && !makePdfReadable(printer->outputFileName(), shown)) {
        outcome.status = PrintOutcome::Failed;
        outcome.reason = QStringLiteral("打印任务没有完成。");
    }
    return outcome;
}

PrintOutcome printShownSheet(const SheetView& view)
{
    const PrintMargins margins = printMargins();
    return printSheet(snapshotOf(view), margins.left, margins.top);
}

void tellFittedTexts(QWidget* parent, const SheetFit& fit)
{
    const QString message = fittedTextsMessage(fit);
    if (!message.isEmpty()) {
        MessageBox::notice(parent, message);
    }
}

PrintMargins printMargins()
{
    const CurrentSettings& settings = CurrentSettings::get();
    return PrintMargins{settings.leftMarginTwips(), settings.topMarginTwips()};
}

std::unique_ptr<QPrinter> sheetPagePrinter()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!g_pdfFolder.isEmpty() || info.isNull()) {
        return a4PdfPrinter();
    }
    return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

} // namespace brenvoll
