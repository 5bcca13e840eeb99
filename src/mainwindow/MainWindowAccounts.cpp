// Operators and roles on the main window: who is logged in, what their role
// may use, the accounts' windows, and the lock of an unattended desk.
#include "DeskLine.h"
#include "HistoryWindows.h"
#include "MainWindow.h"
#include "accountwindows/AccountsWindow.h"
#include "accountwindows/LockWindow.h"
#include "accountwindows/PasswordWindow.h"
#include "backup/SchemaUpgrade.h"
#include "base/Clock.h"
#include "drafts/SheetDrafts.h"
#include "record/VersionStamp.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QMenuBar>

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

// The menu items and toolbar faces of the commands a role may be refused.
struct Gate
{
    Command command;
    const char* action;
    const char* face; // toolbar face, or null
};
const Gate kGates[] = {
    {Command::Delete, "删除", "Picture4_2"},
    {Command::RestoreVersion, "已删除的记录…", nullptr},
    {Command::Settings, "综合设置", nullptr},
    {Command::RestoreBackup, "恢复备份…", nullptr},
    {Command::ManageAccounts, "用户管理…", nullptr},
    {Command::ChangePassword, "修改我的密码…", nullptr},
    {Command::Lock, "锁定", nullptr},
};
} // namespace

void MainWindow::applySession()
{
    VersionStamp::setOperator(Session::versionOperator());
    m_deskLine->showDesk(DatabasePlace::current(), Session::operatorLine());
    for (const Gate& gate : kGates) {
        const bool may = gate.command == Command::ManageAccounts
                             ? !AccountStore::accountsOn() || Session::may(Command::ManageAccounts)
                             : Session::may(gate.command);
        if (auto* action = findChild<QAction*>(QString::fromUtf8(gate.action))) {
            action->setEnabled(may);
        }
        if (gate.face) {
            if (auto* face = findChild<QFrame*>(QString::fromLatin1(gate.face))) {
                face->setEnabled(may);
            }
        }
    }
    if (!m_idleTimer.property("watched").toBool()) {
        m_idleTimer.setProperty("watched", true);
        m_idleTimer.setSingleShot(true);
        connect(&m_idleTimer, &QTimer::timeout, this, &MainWindow::lock);
        qApp->installEventFilter(new IdleWatch(m_idleTimer, this));
    }
    const int minutes = Session::current() ? AccountStore::idleMinutes() : 0;
    if (minutes > 0) {
        m_idleTimer.start(minutes * 60 * 1000);
    } else {
        m_idleTimer.stop();
    }
}

bool MainWindow::allowed(Command command)
{
    if (Session::may(command)) {
        return true;
    }
    MessageBox::warning(this, Session::refusal());
    return false;
}

void MainWindow::showAccounts()
{
    // While no account exists whoever logged in with the shared password
    // makes the first one; afterwards only an administrator.
    if (AccountStore::accountsOn() && !allowed(Command::ManageAccounts)) {
        return;
    }
    AccountsWindow* window = AccountsWindow::showWindow(this, [](QString* error) {
        // The tables come where the database opens; this retries when that failed then.
        const SchemaUpgrade::Result upgrade = SchemaUpgrade::run(Clock::now());
        *error = upgrade.error;
        return AccountStore::tablesPresent();
    });
    connect(window, &AccountsWindow::accountsChanged, this, &MainWindow::applySession, Qt::UniqueConnection);
}

void MainWindow::showPasswordWindow()
{
    if (!allowed(Command::ChangePassword)) {
        return;
    }
    auto* window = new PasswordWindow(this);
    window->open();
}

void MainWindow::recordLogout()
{
    if (const auto& me = Session::current()) {
        AccountStore::record(me->userName, AccountStore::kLoggedOut);
    }
}

LockWindow* MainWindow::lockWindow() const
{
    return m_lockWindow;
}

LockWindow* MainWindow::lock()
{
    if (m_lockWindow) {
        return m_lockWindow;
    }
    if (!allowed(Command::Lock)) {
        return nullptr;
    }
    m_idleTimer.stop();
    // Nothing typed is lost by a lock.
    m_drafts->keep();
    AccountStore::record(Session::current()->userName, AccountStore::kLocked);
    // Nothing of the records stays in sight: the sheet, the lists and the
    // other windows are hidden, and the lock window takes every input.
    m_hiddenByLock.clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible()) {
            window->hide();
            m_hiddenByLock << window;
        }
    }
    centralWidget()->hide();
    menuBar()->setEnabled(false);
    m_lockWindow = new LockWindow(*Session::current(), this);
    LockWindow* window = m_lockWindow;
    window->setWindowModality(Qt::ApplicationModal);
    connect(window, &QDialog::accepted, this, [this, window] { unlocked(window); });
    window->show();
    return window;
}

void MainWindow::unlocked(LockWindow* window)
{
    const Account account = window->account();
    const bool switched = window->switchedUser();
    m_lockWindow.clear();
    window->deleteLater();
    centralWidget()->show();
    menuBar()->setEnabled(true);
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
        // starts on a blank sheet.
        if (m_versions) {
            m_versions->reject(); // the stored record back on the sheet
        }
        {
            const SheetDrafts::Replacement blank(*m_drafts);
            for (const BoxDef& def : FieldMap::boxes()) {
                box(def.field)->clear();
            }
        }
        Session::begin(account);
        newRecord();
    }
    applySession();
}

} // namespace brenvoll
