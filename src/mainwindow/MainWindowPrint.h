#pragma once
// Printing from the main window: its sheet, alone or a batch of its result
// list, on paper, on screen before printing, or into PDF files.
namespace brenvoll {

class MainWindow;
class PrintDialog;

// Shows the print dialog (the one window of its kind) printing the sheet and
// walking the result list of `main`.
PrintDialog* showPrintDialog(MainWindow& main);

// 打印预览: the sheet as it stands, as it will print.
void showPrintPreview(MainWindow& main);
// 导出PDF…: the sheet as it stands into a PDF file.
void exportSheetToPdf(MainWindow& main);
// 批量导出PDF…: the records of the result list, as batch printing would print
// them, into one PDF file.
void exportListToPdf(MainWindow& main);

} // namespace brenvoll
