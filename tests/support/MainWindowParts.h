#pragma once
// The main window's controls found by their designed names (objectName), and
// the parts it hosts found by theirs, as the tests reach them.
#include "accountwindows/AccountCommands.h"
#include "comparison/ComparisonCommands.h"
#include "drafts/DraftCommands.h"
#include "history/HistoryCommands.h"
#include "mainwindow/DeskLine.h"
#include "phrases/PhrasePanel.h"
#include "sheet/NextExamination.h"
#include "sheet/SheetEntry.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

namespace brenvoll::test {

template <class Widget> Widget* named(const QWidget& window, const char* name)
{
    return window.findChild<Widget*>(QString::fromLatin1(name));
}

// The search panel: name and address filters, the first and the last day,
// and its button; the result list with its count below it.
inline QFrame* searchPanel(const QWidget& window)
{
    return named<QFrame>(window, "Frame4");
}
inline QLineEdit* nameFilter(const QWidget& window)
{
    return named<QLineEdit>(window, "Text1");
}
inline QLineEdit* addressFilter(const QWidget& window)
{
    return named<QLineEdit>(window, "Text2");
}
inline QLineEdit* fromDate(const QWidget& window)
{
    return named<QLineEdit>(window, "Text3");
}
inline QLineEdit* toDate(const QWidget& window)
{
    return named<QLineEdit>(window, "Text4");
}
inline QPushButton* searchButton(const QWidget& window)
{
    return named<QPushButton>(window, "Command1");
}
inline QListView* resultList(const QWidget& window)
{
    return named<QListView>(window, "List1");
}
inline QLabel* countLabel(const QWidget& window)
{
    return named<QLabel>(window, "Label1");
}
// The phrase panel and its list of phrases.
inline PhrasePanel* phrasePanel(const QWidget& window)
{
    return window.findChild<PhrasePanel*>();
}
inline QListWidget* phraseList(const QWidget& window)
{
    return named<QListWidget>(window, "List3");
}
// The toolbar band, the grey viewport, the A4 page in it that carries the
// sheet, and the viewport's scroll bar.
inline QFrame* toolbar(const QWidget& window)
{
    return named<QFrame>(window, "Frame1");
}
inline QFrame* viewport(const QWidget& window)
{
    return named<QFrame>(window, "Picture2");
}
inline QWidget* page(const QWidget& window)
{
    return named<QWidget>(window, "Picture3");
}
inline QScrollBar* scrollBar(const QWidget& window)
{
    return named<QScrollBar>(window, "VScroll1");
}
inline DeskLine* deskLine(const QWidget& window)
{
    return named<DeskLine>(window, "DeskLine");
}
// Enter, insertion target and date default of the sheet's boxes.
inline SheetEntry* entry(const QWidget& window)
{
    return window.findChild<SheetEntry*>();
}

// The parts the window hosts.
inline HistoryCommands& history(const QWidget& window)
{
    return *window.findChild<HistoryCommands*>();
}
inline ComparisonCommands& comparison(const QWidget& window)
{
    return *window.findChild<ComparisonCommands*>();
}
inline DraftCommands& draftCommands(const QWidget& window)
{
    return *window.findChild<DraftCommands*>();
}
inline AccountCommands& accountCommands(const QWidget& window)
{
    return *window.findChild<AccountCommands*>();
}

} // namespace brenvoll::test
