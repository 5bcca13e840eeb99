#pragma once
// The print dialog "打印": the current sheet or a batch of listed records.
#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace brenvoll {

class MainWindow;

class PrintDialog : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static PrintDialog* showWindow();
    // The window if it is loaded, else null.
    static PrintDialog* loaded();

    // OK: prints as chosen, then unloads the dialog.
    void Command1_Click();
    // Cancel: unloads the dialog; nothing is printed.
    void Command2_Click();

    // A batch of more pages than this shows its progress and can be cancelled.
    static constexpr int kQuietBatchPages = 3;

    QLabel* Image1 = nullptr;
    QFrame* Frame1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    explicit PrintDialog(QWidget* parent = nullptr);
    void Form_Load();
    void printBatch(MainWindow& main);
    int px(double twips) const;

    static QPointer<PrintDialog> s_instance;
};

} // namespace brenvoll
