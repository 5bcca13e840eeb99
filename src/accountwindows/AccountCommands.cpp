#include "AccountCommands.h"

#include "AccountsWindow.h"
#include "LockWindow.h"
#include "PasswordWindow.h"
#include "sheet/SheetHost.h"
#include "ui/CommandTable.h"

#include <QApplication>

namespace brenvoll {

namespace {
// Every key, click and turn of the wheel in the program starts the idle
// time over.
class IdleWatch : public QObject
{
public:
    IdleWatch(QTimer& timer, QObject* parent) : QObject(parent), m_timer(timer) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            if (m_timer.isActive()) {
                m_timer.start();
            }
            break;
        default:
            break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTimer& m_timer;
};

// While no account exists whoever logged in with the shared password makes
// the first one; afterwards only an administrator.
bool mayManageAccounts()
{
    return !AccountStore::accountsOn() || Session::may(Command::ManageAccounts);
}
} // namespace

AccountCommands::AccountCommands(SheetHost& host, PrepareAccounts prepare)
    : QObject(host.hostWidget()), m_host(host), m_prepare(std::move(prepare))
{
    setObjectName(QStringLiteral("AccountCommands"));
    CommandTable& table = host.commands();
    table.add({.menu = QStringLiteral("文件"),
               .place = 206,
               .text = QStringLiteral("锁定"),
               .shortcut = QKeySequence(QStringLiteral("Ctrl+L")),
               .gate = [] { return Session::may(Command::Lock); },
               .run = [this] { lock(); }});
    table.add({.menu = QStringLiteral("文件"),
               .place = 207,
               .text = QStringLiteral("注销/切换用户"),
               .run = [this] { switchUser(); }});
    table.add({.menu = QStringLiteral("设置"),
               .place = 103,
               .text = QStringLiteral("用户管理…"),
               .shortcut = QKeySequence(QStringLiteral("Ctrl+Shift+U")),
               .gate = mayManageAccounts,
               .run = [this] { showAccounts(); }});
    table.add({.menu = QStringLiteral("设置"),
               .place = 104,
               .text = QStringLiteral("修改我的密码…"),
               .gate = [] { return Session::may(Command::ChangePassword); },
               .run = [this] { showPasswordWindow(); }});

    m_idleTimer.setSingleShot(true);
    connect(&m_idleTimer, &QTimer::timeout, this, &AccountCommands::lock);
    qApp->installEventFilter(new IdleWatch(m_idleTimer, this));
    host.onSession([this] { sessionApplied(); });
}

void AccountCommands::sessionApplied()
{
    const int minutes = Session::current() ? AccountStore::idleMinutes() : 0;
    if (minutes > 0) {
        m_idleTimer.start(minutes * 60 * 1000);
    } else {
        m_idleTimer.stop();
    }
}

void AccountCommands::showAccounts()
{
    if (AccountStore::accountsOn() && !m_host.allowed(Command::ManageAccounts)) {
        return;
    }
    AccountsWindow* window = AccountsWindow::showWindow(m_host.hostWidget(), m_prepare);
    connect(window, &AccountsWindow::accountsChanged, this, &AccountCommands::applySession,
            Qt::UniqueConnection);
}

void AccountCommands::applySession()
{
    m_host.applySession();
}

void AccountCommands::showPasswordWindow()
{
    if (!m_host.allowed(Command::ChangePassword)) {
        return;
    }
    auto* window = new PasswordWindow(m_host.hostWidget());
    window->open();
}

namespace {
std::function<void()>& loginOpener()
{
    static std::function<void()> open;
    return open;
}
} // namespace

void AccountCommands::setLoginOpener(std::function<void()> open)
{
    loginOpener() = std::move(open);
}

void AccountCommands::switchUser()
{
    if (m_lockWindow || !loginOpener()) {
        return;
    }
    m_idleTimer.stop();
    m_host.releaseSheet(); // a version shown gives the sheet back first
    m_host.keepDraft();
    QWidget* main = m_host.hostWidget();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != main && window->isVisible()) {
            window->close();
        }
    }
    recordLogout();
    Session::end();
    main->hide();
    loginOpener()();
}

void AccountCommands::recordLogout()
{
    if (const auto& me = Session::current()) {
        AccountStore::record(me->userName, AccountStore::kLoggedOut);
    }
}

LockWindow* AccountCommands::lock()
{
    if (m_lockWindow) {
        return m_lockWindow;
    }
    if (!m_host.allowed(Command::Lock)) {
        return nullptr;
    }
    m_idleTimer.stop();
    // A version shown on the sheet goes with its window: the stored record
    // is back before the desk locks.
    m_host.releaseSheet();
    // Nothing typed is lost by a lock.
    m_host.keepDraft();
    AccountStore::record(Session::current()->userName, AccountStore::kLocked);
    // Nothing of the records stays in sight: the sheet, the lists and the
    // other windows are hidden, and the lock window takes every input.
    QWidget* main = m_host.hostWidget();
    m_hiddenByLock.clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != main && window->isVisible()) {
            window->hide();
            m_hiddenByLock << window;
        }
    }
    m_host.setSheetHidden(true);
    m_lockWindow = new LockWindow(*Session::current(), main);
    LockWindow* window = m_lockWindow;
    window->setWindowModality(Qt::ApplicationModal);
    connect(window, &QDialog::accepted, this, [this, window] { unlocked(window); });
    window->show();
    return window;
}

void AccountCommands::unlocked(LockWindow* window)
{
    const Account account = window->account();
    const bool switched = window->switchedUser();
    m_lockWindow.clear();
    window->deleteLater();
    m_host.setSheetHidden(false);
    // The windows the desk left open come back; another operator starts
    // without them.
    for (const QPointer<QWidget>& hidden : std::as_const(m_hiddenByLock)) {
        if (hidden && switched) {
            hidden->close();
        } else if (hidden) {
            hidden->show();
        }
    }
    m_hiddenByLock.clear();
    if (switched) {
        // The sheet of the operator who left stays a draft; the next one
        // starts on a blank sheet, with whatever another part showed on it
        // given back first.
        m_host.releaseSheet();
        m_host.clearSheet();
        Session::begin(account);
        m_host.newRecord();
    }
    m_host.applySession();
}

} // namespace brenvoll
