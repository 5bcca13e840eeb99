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

class SheetEntry;

// The phrase list. A phrase counts as chosen when it is clicked, also when it
// was already the current one, or when a key moves the current row to it;
// focus arriving in the list is no choice.
class PhraseList : public QListWidget
{
    Q_OBJECT
public:
    explicit PhraseList(QWidget* parent = nullptr);

signals:
    void chosen(int row);

protected:
    void keyPressEvent(QKeyEvent* event) override;
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

    // Handlers.
    void Text15_Change();
    void List3_Click(int row);
    void Label24_Click();

    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label31 = nullptr; // index 2
    QFrame* Picture1 = nullptr;
    QLineEdit* Text15 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label24 = nullptr;
    PhraseList* List3 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showIcon(QLabel* image, const QString& resource);

    SheetEntry* m_entry = nullptr;
};

} // namespace brenvoll
