#pragma once
// Operators and roles on the window of the sheet: 锁定, 用户管理… and
// 修改我的密码…, the lock of an unattended desk (its idle timer starts over
// at every key and click in the program), and the login record of the
// program's end.
#include "LockWindow.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QWidget;

namespace brenvoll {

class SheetHost;

class AccountCommands : public QObject
{
    Q_OBJECT
public:
    // Makes the accounts' tables where an older database lacks them; false
    // with why when it cannot.
    using PrepareAccounts = std::function<bool(QString* error)>;

    // Adds the commands to `host`'s table and follows its operator; lives
    // as long as its window.
    AccountCommands(SheetHost& host, PrepareAccounts prepare);

    // 用户管理…, open to everybody while no account exists.
    void showAccounts();
    // 修改我的密码….
    void showPasswordWindow();
    // 锁定: the sheet's typing is kept as a draft, the sheet hidden, and a
    // password lets the same or another operator on. Null when not locked.
    LockWindow* lock();
    LockWindow* lockWindow() const { return m_lockWindow; }
    // The timer that locks an unattended desk.
    QTimer* idleTimer() { return &m_idleTimer; }

    // The program ends: the login record says so.
    static void recordLogout();

    // 注销/切换用户: the typing kept as a draft, the other windows closed, the
    // operator logged out and the window hidden; the login window (which the
    // program gives through setLoginOpener) lets the same or another
    // operator on, or the shared password where accounts are off now. So
    // accounts switched on or off take effect without a restart.
    void switchUser();
    static void setLoginOpener(std::function<void()> open);

private:
    // The accounts changed: the host names the operator and sets its gates anew.
    void applySession();
    // After a login or another operator: the idle lock is set.
    void sessionApplied();
    // The lock window let `window`'s account on.
    void unlocked(LockWindow* window);

    SheetHost& m_host;
    PrepareAccounts m_prepare;
    QPointer<LockWindow> m_lockWindow;
    QList<QPointer<QWidget>> m_hiddenByLock; // the other windows open when the desk locked
    QTimer m_idleTimer;
};

} // namespace brenvoll
