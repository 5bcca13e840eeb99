#pragma once
// The lock window of an unattended desk: modal over the main window, which
// hides its sheet meanwhile. It lets the same operator back in with their
// password, or another operator log in (switch user); it cannot be closed
// otherwise. Wrong tries wait as at the login.
#include "accounts/AccountStore.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace brenvoll {

class LoginPolicy;

class LockWindow : public QDialog
{
    Q_OBJECT
public:
    // Locked while `account` was logged in.
    LockWindow(const Account& account, QWidget* parent);

    // Checks the typed user name and password: true when they let someone
    // in (the window is accepted then); the operator is told otherwise.
    bool tryUnlock();

    // Who is let in, and whether it is another account than the locked one.
    const Account& account() const { return m_account; }
    bool switchedUser() const { return m_switched; }

    QLineEdit* userBox() const { return m_user; }
    QLineEdit* passwordBox() const { return m_password; }
    QPushButton* unlockButton() const { return m_unlock; }
    // Whether wrong tries keep the button waiting now.
    bool waiting() const;
    void endWait();
    // "请等待 N 秒后再试。", counting down, while the button waits.
    QLabel* waitLabel() const { return m_waitLabel; }

protected:
    // Escape and the close button leave the desk locked.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    Account m_locked;
    Account m_account;
    bool m_switched = false;
    LoginPolicy* m_policy = nullptr;
    QLabel* m_waitLabel = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QPushButton* m_unlock = nullptr;
};

} // namespace brenvoll
