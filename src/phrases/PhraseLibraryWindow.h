#pragma once
// The phrase library editor "词库编辑": phrases are added and deleted here, and
// the main window's phrase list follows every change.
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

    // Handlers.
    void Form_Load();
    void Command1_Click(); // add
    void Command2_Click(); // delete
    void Command3_Click(); // exit

    QListWidget* List1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label1 = nullptr;

private:
    explicit PhraseLibraryWindow(QWidget* parent = nullptr);
    // Both phrase lists, the editor's and the main window's, show the whole
    // library afresh.
    void refillLists();

    static QPointer<PhraseLibraryWindow> s_instance;
};

} // namespace brenvoll
