#pragma once
// The phrase panel of the main window: a title bar, the filter box, the link
// that opens the library editor, and the list of stock phrases. A phrase
// chosen in the list goes into the sheet box the operator last worked in.
#include <QListWidget>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;

namespace brenvoll {

class PhraseLibraryWindow;
class SheetEntry;

// The phrase list. A phrase counts as chosen when it is clicked, also when it
// was already the current one, when Enter is pressed on it, or when a key
// moves the current row to it; focus arriving in the list is no choice. The
// list entered from the filter box with Down is browsed with the keys instead:
// they only move the current row, until Enter chooses it.
class PhraseList : public QListWidget
{
    Q_OBJECT
public:
    explicit PhraseList(QWidget* parent = nullptr);

    // The focus arrives from the filter box, on the first phrase.
    void enterFromFilter();
    // Whether the keys browse the list (it was entered from the filter box).
    bool isBrowsed() const { return m_browsed; }

signals:
    void chosen(int row);
    // Escape: back to the sheet without a phrase.
    void escaped();
    // Up on the first phrase while browsing: back to the filter box.
    void leftUpwards();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_browsed = false;
};

class PhrasePanel : public QWidget
{
    Q_OBJECT
public:
    // The controls stand at their places on `client`: the panel covers the
    // left column of the client area, below the other controls there.
    explicit PhrasePanel(QWidget* client);

    // The sheet whose insertion target receives the phrases.
    void setEntry(SheetEntry* entry) { m_entry = entry; }

    // The list shows the phrases containing the filter box's text.
    void filterPhrases();
    // The list shows the whole library, whatever the filter box holds; a
    // library that cannot be read leaves the list as it was.
    void showWholeLibrary();
    // Puts the phrase in `row` of the list into the insertion target.
    void insertChosenPhrase(int row);
    // The focus goes back to the insertion target as it was left, caret and
    // selection, else to the filter box.
    void returnToSheet();
    // Opens the library editor ("编辑词库" link); the list follows every change
    // made there.
    PhraseLibraryWindow* openLibrary();

    QLabel* titleBar() const { return m_titleBar; }
    QLabel* titleIcon() const { return m_titleIcon; }
    QLabel* titleCaption() const { return m_titleCaption; }
    QFrame* filterFrame() const { return m_filterFrame; }
    QLabel* searchIcon() const { return m_searchIcon; }
    QLineEdit* phraseFilter() const { return m_phraseFilter; }
    QLabel* editLink() const { return m_editLink; }
    PhraseList* phraseList() const { return m_phraseList; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showIcon(QLabel* image, const QString& resource);

    QLabel* m_titleBar = nullptr;
    QLabel* m_titleIcon = nullptr;
    QLabel* m_titleCaption = nullptr;
    QFrame* m_filterFrame = nullptr;
    QLabel* m_searchIcon = nullptr;
    QLineEdit* m_phraseFilter = nullptr;
    QLabel* m_editLink = nullptr;
    PhraseList* m_phraseList = nullptr;
    SheetEntry* m_entry = nullptr;
};

} // namespace brenvoll
