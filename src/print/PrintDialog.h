#pragma once
// The print dialog "打印": the current sheet or a batch of listed records.
#include "PrintHost.h"

#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

namespace brenvoll {

class PrintDialog : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front. It prints through `host` from then on.
    static PrintDialog* showWindow(const PrintHost& host);
    // The window if it is loaded, else null.
    static PrintDialog* loaded();

    // OK: prints as chosen, then unloads the dialog.
    void printAsChosen();
    // Cancel: unloads the dialog; nothing is printed.
    void cancel();

    QLabel* printerPicture() const { return m_printerPicture; }
    QRadioButton* currentSheetOption() const { return m_currentSheetOption; }
    QRadioButton* batchOption() const { return m_batchOption; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

private:
    explicit PrintDialog(QWidget* parent = nullptr);
    void loadOnStart();
    void printBatch();
    int px(double twips) const;

    PrintHost m_host;

    QLabel* m_printerPicture = nullptr;
    QFrame* m_choiceFrame = nullptr;
    QRadioButton* m_currentSheetOption = nullptr; // 打印当前表格
    QRadioButton* m_batchOption = nullptr;        // 批量打印
    QPushButton* m_okButton = nullptr;            // 确 定
    QPushButton* m_cancelButton = nullptr;        // 取 消

    static QPointer<PrintDialog> s_instance;
};

} // namespace brenvoll
