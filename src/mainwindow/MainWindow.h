#pragma once
// The main window: search panel and result list on the left, the phrase panel
// below them, and the examination sheet on its A4 page in the grey viewport.
#include "record/DateRules.h"
#include "record/FieldMap.h"
#include "record/RecordStore.h"

#include <QMainWindow>
#include <QPointer>

class QFrame;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace brenvoll {

class PhrasePanel;
class ResultModel;
class SheetEntry;
class SheetView;

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
    void Form_Load();

    // Operations of the toolbar and the menu.
    void Command1_Click(); // search
    void newRecord();      // 新建
    void saveRecord();     // 保存
    void deleteRecord();   // 删除

    // Loads the record of the selected result line into the sheet.
    void List1_Click();
    // Selects line k of the result list (-1: none); a changed selection loads
    // that record.
    void selectLine(int k);
    int selectedLine() const;
    int lineCount() const;
    QString keyOfLine(int k) const;

    // Refills the phrase list with every phrase of the library.
    void fillPhraseList();

    // Prints the sheet as it stands now on the default printer.
    void p_Click();

    SheetView* sheet() const { return Picture5; }
    QLineEdit* box(Field field) const;
    ResultModel* results() const { return m_results; }
    // Enter, insertion target and date default of the sheet's boxes.
    SheetEntry* entry() const { return m_entry; }
    PhrasePanel* phrasePanel() const { return m_phrasePanel; }

    // Search panel and result list.
    QFrame* Frame4 = nullptr;
    QLineEdit* Text1 = nullptr; // name filter
    QLineEdit* Text2 = nullptr; // address filter
    QLineEdit* Text3 = nullptr; // first day
    QLineEdit* Text4 = nullptr; // last day
    QPushButton* Command1 = nullptr;
    QListView* List1 = nullptr;
    QLabel* Label1 = nullptr;
    // Phrase panel; List3 is its phrase list.
    QListWidget* List3 = nullptr;
    // Toolbar band, viewport, page, sheet and scroll bar.
    QFrame* Frame1 = nullptr;
    QFrame* Picture2 = nullptr;
    QWidget* Picture3 = nullptr;
    SheetView* Picture5 = nullptr;
    QScrollBar* VScroll1 = nullptr;

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
    void showResults(std::vector<ResultLine>&& lines);
    int px(double twips) const;

    ResultModel* m_results = nullptr;
    SheetEntry* m_entry = nullptr;
    PhrasePanel* m_phrasePanel = nullptr;
    KeyIssuer m_keys;
};

} // namespace brenvoll
