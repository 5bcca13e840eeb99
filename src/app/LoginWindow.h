#pragma once
// The login window "登录": the first window of a run. A correct password hides
// it (it stays loaded) and opens the main window; cancelling or closing it
// ends the program.
#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brenvoll {

class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating (and loading) it on first
    // use; an open window is brought to the front.
    static LoginWindow* showWindow();
    // The window if it is loaded, else null.
    static LoginWindow* loaded();

    // Centres the window and reads the stored password from 设置.
    void Form_Load();
    void Command1_Click(); // 确  定
    void Command2_Click(); // 取  消

    // The password as read at load, untrimmed.
    QString storedPassword() const { return m_storedPassword; }
    // Whether a typed password lets the operator in: blanks around either
    // side and the case of letters do not count.
    static bool matches(const QString& typed, const QString& stored);

    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window in any way ends the program.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit LoginWindow(QWidget* parent = nullptr);
    bool readStoredPassword();
    void openMainWindow();

    QString m_storedPassword;
    // Why the settings record could not be read; null once it was read.
    QString m_readError;
    static QPointer<LoginWindow> s_instance;
};

} // namespace brenvoll
