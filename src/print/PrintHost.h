#pragma once
// What the print dialog needs of the window that opens it, and nothing more:
// printing the sheet as it stands, and the result list that a batch walks,
// loading each listed record into the sheet before printing it. The opener
// fills in every member when it shows the dialog.
#include <QString>

#include <functional>

class QWidget;

namespace brenvoll {

class SheetView;

struct PrintHost
{
    // The window that messages and a batch's progress stand over (null: none).
    std::function<QWidget*()> parent;
    // Prints the sheet as it stands now and reports a page that did not come out.
    std::function<void()> printSheet;
    // The sheet a batch prints page by page, and whose key box tells which
    // record it shows (null: none).
    std::function<const SheetView*()> sheet;

    // The result list: its number of lines, the selected line (-1: none).
    std::function<int()> lineCount;
    std::function<int()> selectedLine;
    // Selects line k; a changed selection loads that line's record.
    std::function<void(int k)> selectLine;
    // Loads the record of the selected line into the sheet.
    std::function<void()> loadSelectedRecord;
    // The record key of line k, and the line as the list shows it.
    std::function<QString(int k)> keyOfLine;
    std::function<QString(int k)> textOfLine;
};

} // namespace brenvoll
