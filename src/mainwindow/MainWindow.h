#pragma once
// The main window: search panel and result list on the left, the phrase panel
// below them, and the examination sheet on its A4 page in the grey viewport.
// It holds the sheet, the search, the layout, new, save and delete, and
// printing's hooks; the other parts of the program (the kept versions, the
// comparison, the drafts, the accounts and the lock, the next examination)
// reach it as their SheetHost and add their commands to its CommandTable
// (see Features.cpp).
#include "record/RecordSaver.h"
#include "sheet/SheetHost.h"
#include "ui/CommandTable.h"

#include <QMainWindow>

class QFrame;
class QLineEdit;
class QListWidget;
class QScrollBar;

namespace brenvoll {

class ResultModel;
class SearchPanel;
class SheetDrafts;

class MainWindow : public QMainWindow, public SheetHost
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // The one main window, or null before start-up created it.
    static MainWindow* instance();

    // Start-up: maximise, last year in the search panel, blank sheet, first
    // search, first key, phrase list.
    void loadOnStart();

    // Operations of the toolbar and the menu.
    void search();             // 查 询
    void newRecord() override; // 新建
    void saveRecord();         // 保存
    void deleteRecord();       // 删除

    // Loads the record of the selected result line into the sheet.
    void loadSelectedRecord();
    // Selects line k of the result list (-1: none); a changed selection loads
    // that record.
    void selectLine(int k);
    int selectedLine() const;
    int lineCount() const;
    QString keyOfLine(int k) const;
    ResultModel* results() const;

    // Prints the sheet as it stands now on the default printer.
    void printSheet();

    SheetView* sheet() const override { return m_sheet; }
    QLineEdit* box(Field field) const;
    // Keeps the sheet's unsaved typing in the drafts file.
    SheetDrafts* drafts() const { return m_drafts; }
    CommandTable& commands() override { return m_commands; }
    // Names the operator on the desk line and sets the commands' gates for
    // their role, then runs the parts' hooks (see SheetHost).
    void applySession() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closing through the window system backs the database up, then ends the
    // program.
    void closeEvent(QCloseEvent* event) override;

private:
    // SheetHost: what the parts of the program ask of the window.
    QWidget* hostWidget() override { return this; }
    const std::optional<ExamRecord>& storedRecord() const override { return m_saver.stored(); }
    void showStored(const ExamRecord& record) override;
    void showReadOnly(const ExamRecord& record, const QList<Field>& tinted, const QColor& tint) override;
    void endReadOnly() override;
    void holdSheet(std::function<void()> release) override { m_sheetRelease = std::move(release); }
    bool sheetHeld() const override { return bool(m_sheetRelease); }
    void releaseSheet() override;
    void clearSheet() override;
    std::optional<QString> issueKey(QString* error) override { return m_saver.issueKey(error); }
    void keepDraft() override;
    void listDay(const QString& date, const QString& key) override;
    void selectShownRecord() override;
    void setSheetHidden(bool hidden) override;
    bool allowed(Command command) override;
    void onSession(std::function<void()> hook) override { m_sessionHooks.push_back(std::move(hook)); }

    // The window's own commands: new, save, delete, printing, restoring a
    // backup, and 退出.
    void addOwnCommands();
    void buildViewport(QWidget* client);
    void applyLayout();
    void scrollPage(int value);
    // Turns the scroll bar until the whole of `box` is in the viewport.
    void bringIntoView(const QWidget* box);
    // Where the top of `box` of the sheet stands in the viewport at bar value `value`.
    int boxTopAt(int value, const QWidget* box) const;
    // A turn of the wheel by `angle` (120 a notch) over the page or its bar.
    void turnWheel(int angle);
    // A fresh key into the key box, or an empty box and a message when no
    // key could be told free.
    void putFreshKey();
    // A failed action with the server gone keeps the typing as a draft at once.
    void keepTypingWhenServerLost();
    int px(double twips) const;

    // Beside each widget its designed name, which is its objectName.
    QFrame* m_toolbar = nullptr;         // Frame1
    SearchPanel* m_search = nullptr;     // Frame4, List1 and Label1
    QListWidget* m_phraseList = nullptr; // List3
    QFrame* m_viewport = nullptr;        // Picture2
    QWidget* m_page = nullptr;           // Picture3
    SheetView* m_sheet = nullptr;        // Picture5
    QScrollBar* m_scrollBar = nullptr;   // VScroll1

    SheetDrafts* m_drafts = nullptr;
    RecordSaver m_saver; // the save policy, the key issuing and the record as last loaded or saved
    QString m_keyError;  // why the key box is empty
    bool m_restoringSelection = false; // a selection change that loads nothing
    CommandTable m_commands;
    QList<QPalette> m_boxPalettes;        // the boxes' own, while the sheet is read-only
    std::function<void()> m_sheetRelease; // gives back the sheet a part holds
    std::vector<std::function<void()>> m_sessionHooks;
    double m_wheelRest = 0; // bar steps of a wheel turn not made yet
};

} // namespace brenvoll
