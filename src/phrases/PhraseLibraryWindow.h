#pragma once
// The phrase library editor "词库编辑": phrases are added and deleted here.
// After every change it reports phrasesChanged(), so that whoever opened it can
// show the whole library in its own phrase list as well.
#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace brenvoll {

class PhraseLibraryWindow : public QWidget
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static PhraseLibraryWindow* showWindow();
    // The window if it is loaded, else null.
    static PhraseLibraryWindow* loaded();

    // Stores the typed phrase as the last of the library (添加).
    void addPhrase();
    // Removes the phrase selected in the list from the library (删除).
    void deleteSelectedPhrase();
    // Closes the window (退出).
    void exitEditor();

    QListWidget* phraseList() const { return m_phraseList; }
    QLineEdit* newPhrase() const { return m_newPhrase; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QPushButton* exitButton() const { return m_exitButton; }
    QLabel* hintLabel() const { return m_hintLabel; }

signals:
    // A phrase was added or deleted and the library could be read afterwards.
    void phrasesChanged();

private:
    explicit PhraseLibraryWindow(QWidget* parent = nullptr);
    // Opening: centred on the screen, listing the whole library.
    void loadOnOpen();
    // The editor's list shows the whole library afresh, and the openers are
    // told to do the same with theirs.
    void refillLists();

    QListWidget* m_phraseList = nullptr;
    QLineEdit* m_newPhrase = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    QLabel* m_hintLabel = nullptr;

    static QPointer<PhraseLibraryWindow> s_instance;
};

} // namespace brenvoll
