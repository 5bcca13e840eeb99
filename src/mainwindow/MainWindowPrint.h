#pragma once
// Printing from the main window: its sheet, alone or a batch of its result list.
namespace brenvoll {

class MainWindow;
class PrintDialog;

// Shows the print dialog (the one window of its kind) printing the sheet and
// walking the result list of `main`.
PrintDialog* showPrintDialog(MainWindow& main);

} // namespace brenvoll
