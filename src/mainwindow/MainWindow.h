#pragma once
// The main window: search panel and result list on the left, the phrase panel
// below them, and the examination sheet on its A4 page in the grey viewport.
#include "accounts/Session.h"
#include "record/FieldMap.h"
#include "record/RecordSaver.h"
#include "record/RecordStore.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace brenvoll {

class ComparisonWindow;
class DeletedRecordsWindow;
class DeskLine;
class DraftsWindow;
class LockWindow;
class PhrasePanel;
class ResultModel;
class SheetDrafts;
class SheetEntry;
class SheetView;
class VersionsWindow;

class MainWindow : public QMainWindow
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
    void search();       // 查 询
    void newRecord();    // 新建
    void saveRecord();   // 保存
    void deleteRecord(); // 删除
    // 复制上次体检: a new sheet for the person on the sheet, or of the name
    // typed, filled from that person's latest examination.
    void copyLastExamination();
    // 历年对比…: the examinations of the person on the sheet, or of the name
    // typed (found as copyLastExamination() finds them), side by side, the
    // sheet's unsaved typing as a last column. The window is null until the
    // person is known (a choice between namesakes is open) and when no one
    // was found (the operator was told).
    ComparisonWindow* showComparison();
    ComparisonWindow* comparisonWindow() const;
    // Puts the stored record `key` on the sheet, keeping its typing as a
    // draft, as choosing it in the result list does.
    void openExamination(const QString& key);

    // Loads the record of the selected result line into the sheet.
    void loadSelectedRecord();
    // Selects line k of the result list (-1: none); a changed selection loads
    // that record.
    void selectLine(int k);
    int selectedLine() const;
    int lineCount() const;
    QString keyOfLine(int k) const;

    // Refills the phrase list with every phrase of the library.
    void fillPhraseList();

    // Prints the sheet as it stands now on the default printer.
    void printSheet();

    // 找回未保存的表格: the drafts of unsaved sheets, and putting one back on
    // the sheet as if typed (the selection follows the sheet's record).
    DraftsWindow* showDrafts();
    void restoreDraft(qint64 id);

    // 历史版本…: the versions of the record on the sheet. Null when there
    // are none (the operator was told).
    VersionsWindow* showVersions();
    // Shows version `index` of the open versions window on the sheet,
    // read-only, the boxes that differ from the stored record tinted.
    void showVersion(int index);
    // Puts version `index` on the sheet as if typed, unsaved.
    void restoreVersion(int index);
    // The stored record back on the sheet, editable.
    void endVersions();
    // 已删除的记录…, and storing one of them again, selected in the list.
    DeletedRecordsWindow* showDeletedRecords();
    void restoreDeletedRecord(qint64 id);

    // Operators and roles. After a login (or a switch of user): the desk
    // line names the operator, the kept versions name them, the commands
    // their role may not use are disabled, and the idle lock is set.
    void applySession();
    // Whether the operator may use `command`; tells them when not.
    bool allowed(Command command);
    // 用户管理…, open to everybody while no account exists.
    void showAccounts();
    // 修改我的密码….
    void showPasswordWindow();
    // 锁定: the sheet's typing is kept as a draft, the sheet hidden, and a
    // password lets the same or another operator on. Null when not locked.
    LockWindow* lock();
    LockWindow* lockWindow() const;
    // The timer that locks an unattended desk; it starts over at every key
    // and click in the program.
    QTimer* idleTimer() { return &m_idleTimer; }
    // The program ends: the login record says so.
    static void recordLogout();

    SheetView* sheet() const { return m_sheet; }
    QLineEdit* box(Field field) const;
    ResultModel* results() const { return m_results; }
    // Enter, insertion target and date default of the sheet's boxes.
    SheetEntry* entry() const { return m_entry; }
    PhrasePanel* phrasePanel() const { return m_phrasePanel; }
    // Keeps the sheet's unsaved typing in the drafts file.
    SheetDrafts* drafts() const { return m_drafts; }

    // The search panel: name and address filters, the first and the last day,
    // and its button; the result list with its count below it.
    QFrame* searchPanel() const { return m_searchPanel; }
    QLineEdit* nameFilter() const { return m_nameFilter; }
    QLineEdit* addressFilter() const { return m_addressFilter; }
    QLineEdit* fromDate() const { return m_fromDate; }
    QLineEdit* toDate() const { return m_toDate; }
    QPushButton* searchButton() const { return m_searchButton; }
    QListView* resultList() const { return m_resultList; }
    QLabel* countLabel() const { return m_countLabel; }
    // The phrase panel's list of phrases.
    QListWidget* phraseList() const { return m_phraseList; }
    // The toolbar band, the grey viewport, the A4 page in it that carries the
    // sheet, and the viewport's scroll bar.
    QFrame* toolbar() const { return m_toolbar; }
    QFrame* viewport() const { return m_viewport; }
    QWidget* page() const { return m_page; }
    QScrollBar* scrollBar() const { return m_scrollBar; }
    // The line in the toolbar band naming the database this desk works on.
    DeskLine* deskLine() const { return m_deskLine; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closing through the window system backs the database up, then ends the
    // program.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildSearchPanel(QWidget* client);
    void buildViewport(QWidget* client);
    void applyLayout();
    void scrollPage(int value);
    // Turns the scroll bar until the whole of `box` is in the viewport.
    void bringIntoView(const QWidget* box);
    // Where the top of `box` of the sheet stands in the viewport at bar value `value`.
    int boxTopAt(int value, const QWidget* box) const;
    // A turn of the wheel by `angle` (120 a notch) over the page or its bar.
    void turnWheel(int angle);
    void showCount();
    // After a failed load: the selection goes back to the line of the record
    // the sheet still shows (none for a new sheet).
    void selectShownRecord();
    // A fresh key into the key box, or an empty box and a message when no
    // key could be told free.
    void issueKey();
    // A failed action with the server gone keeps the typing as a draft at once.
    void keepTypingWhenServerLost();
    int px(double twips) const;
    // A new sheet started from the stored record `key`; nothing changes when
    // it cannot be read.
    void startNextExamination(const QString& key);
    // Finds the person as 复制上次体检 does: the stored record on the sheet,
    // or the name typed; asks under `title` when several people share the
    // name, tells the operator when no one is found. `chosen` gets the
    // person found.
    void choosePerson(const QString& title, const std::function<void(const PersonRecords&)>& chosen);
    void compareExaminations(const PersonRecords& person);
    // The lock window let `window`'s account on.
    void unlocked(LockWindow* window);

    // Beside each widget its designed name, which is its objectName.
    QFrame* m_searchPanel = nullptr;       // Frame4
    QLineEdit* m_nameFilter = nullptr;     // Text1
    QLineEdit* m_addressFilter = nullptr;  // Text2
    QLineEdit* m_fromDate = nullptr;       // Text3
    QLineEdit* m_toDate = nullptr;         // Text4
    QPushButton* m_searchButton = nullptr; // Command1
    QListView* m_resultList = nullptr;     // List1
    QLabel* m_countLabel = nullptr;        // Label1
    QListWidget* m_phraseList = nullptr;   // List3
    QFrame* m_toolbar = nullptr;           // Frame1
    QFrame* m_viewport = nullptr;          // Picture2
    QWidget* m_page = nullptr;             // Picture3
    SheetView* m_sheet = nullptr;          // Picture5
    QScrollBar* m_scrollBar = nullptr;     // VScroll1
    DeskLine* m_deskLine = nullptr;

    ResultModel* m_results = nullptr;
    SheetEntry* m_entry = nullptr;
    PhrasePanel* m_phrasePanel = nullptr;
    SheetDrafts* m_drafts = nullptr;
    RecordSaver m_saver; // the save policy, the key issuing and the record as last loaded or saved
    QString m_keyError;  // why the key box is empty
    bool m_restoringSelection = false; // a selection change that loads nothing
    QPointer<VersionsWindow> m_versions;
    QPointer<ComparisonWindow> m_comparison;
    QPointer<DeletedRecordsWindow> m_deleted;
    std::optional<ExamRecord> m_versionsOf; // the stored record whose versions are open
    QList<QPalette> m_boxPalettes;          // the boxes' own, while a version is shown
    QPointer<LockWindow> m_lockWindow;
    QList<QPointer<QWidget>> m_hiddenByLock; // the other windows open when the desk locked
    QTimer m_idleTimer;
    double m_wheelRest = 0; // bar steps of a wheel turn not made yet
};

} // namespace brenvoll
