#pragma once
// The login window "登录": the first window of a run. A correct password hides
// it (it stays loaded) and announces loggedIn(), on which start-up opens the
// main window; cancelling or closing it ends the program. While accounts are
// on for the database, a row for the user name stands above the password,
// the window taller by that row, and the account's password is checked
// instead of the shared one; wrong tries in a row make the next one wait.
#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brenvoll {

class LoginPolicy;

class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating (and loading) it on first
    // use; an open window is brought to the front.
    static LoginWindow* showWindow();
    // The window if it is loaded, else null.
    static LoginWindow* loaded();

    // 确  定: lets the operator in when the typed password matches the
    // stored one.
    void logIn();
    // 取  消: ends the program.
    void cancel();

    // The password as read at load, untrimmed.
    QString storedPassword() const { return m_storedPassword; }
    // Whether a typed password lets the operator in: blanks around either
    // side and the case of letters do not count.
    static bool matches(const QString& typed, const QString& stored);

    QLineEdit* passwordBox() const { return m_passwordBox; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QLabel* promptLabel() const { return m_promptLabel; }
    // "(原始密码：864)", shown while the factory password is stored.
    QLabel* factoryPasswordHint() const { return m_factoryPasswordHint; }
    // With accounts: the user name row (null without).
    bool accountsOn() const { return m_accountsOn; }
    QLineEdit* userBox() const { return m_userBox; }
    QLabel* userLabel() const { return m_userLabel; }
    // Whether wrong tries keep the OK button waiting now; ending the wait.
    bool waiting() const;
    void endWait();
    // With accounts: "请等待 N 秒后再试。", counting down, while OK waits.
    QLabel* waitLabel() const { return m_waitLabel; }

signals:
    // A correct password was typed; the window is hidden by then.
    void loggedIn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing the window in any way ends the program.
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit LoginWindow(QWidget* parent = nullptr);
    // Centres the window and reads the stored password from 设置.
    void load();
    bool readStoredPassword();
    // The user name row above the password, the designed controls below it
    // moved down by its height.
    void addUserRow();
    void logInWithAccount();
    void showWait(int secondsLeft);

    QLabel* m_padlock = nullptr;
    QLabel* m_productName = nullptr;
    QLabel* m_titleBand = nullptr;
    QLabel* m_promptLabel = nullptr;
    QLabel* m_factoryPasswordHint = nullptr;
    QLineEdit* m_passwordBox = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;

    QLabel* m_userLabel = nullptr;
    QLineEdit* m_userBox = nullptr;
    QLabel* m_waitLabel = nullptr;
    bool m_accountsOn = false;
    LoginPolicy* m_policy = nullptr;

    QString m_storedPassword;
    // Why the settings record could not be read; null once it was read.
    QString m_readError;
    static QPointer<LoginWindow> s_instance;
};

} // namespace brenvoll
