#include "LockWindow.h"

#include "ui/MessageBox.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace brenvoll {

LockWindow::LockWindow(const Account& account, QWidget* parent)
    : QDialog(parent), m_locked(account), m_account(account)
{
    setObjectName(QStringLiteral("LockWindow"));
    setWindowTitle(QStringLiteral("已锁定"));
    setModal(true);
    auto* form = new QFormLayout(this);
    auto* text = new QLabel(
        QStringLiteral("此工作站已锁定（%1）。请输入密码解锁，或以其他用户登录。").arg(account.fullName),
        this);
    text->setWordWrap(true);
    form->addRow(text);
    m_user = new QLineEdit(account.userName, this);
    m_user->setObjectName(QStringLiteral("UserName"));
    form->addRow(QStringLiteral("用户名"), m_user);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAttribute(Qt::WA_InputMethodEnabled, false);
    form->addRow(QStringLiteral("密码"), m_password);
    m_unlock = new QPushButton(QStringLiteral("解锁"), this);
    m_unlock->setObjectName(QStringLiteral("Unlock"));
    m_unlock->setDefault(true);
    form->addRow(m_unlock);
    connect(m_unlock, &QPushButton::clicked, this, &LockWindow::tryUnlock);
    connect(m_user, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, this, &LockWindow::tryUnlock);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &LockWindow::endWait);
    m_password->setFocus();
}

void LockWindow::endWait()
{
    m_wait.stop();
    m_unlock->setEnabled(true);
}

bool LockWindow::tryUnlock()
{
    if (waiting()) {
        return false;
    }
    const QString user = m_user->text().trimmed();
    Account account;
    QString error;
    switch (AccountStore::check(user, m_password->text(), &account, &error)) {
    case AccountStore::Check::Ok:
        break;
    case AccountStore::Check::Failed:
        MessageBox::warning(this, QStringLiteral("无法读取账户：") + error);
        return false;
    case AccountStore::Check::Disabled:
        AccountStore::record(user, AccountStore::kDisabled);
        MessageBox::warning(this, QStringLiteral("此账户已停用。"));
        return false;
    case AccountStore::Check::Wrong:
        AccountStore::record(user, AccountStore::kWrong);
        MessageBox::warning(this, QStringLiteral("用户名或密码错误。"));
        if (const int seconds = AccountStore::waitAfter(++m_failures); seconds > 0) {
            m_unlock->setEnabled(false);
            m_wait.start(seconds * 1000);
        }
        return false;
    }
    m_failures = 0;
    m_account = account;
    m_switched = account.userName != m_locked.userName;
    AccountStore::record(account.userName, m_switched ? AccountStore::kLoggedIn : AccountStore::kUnlocked);
    m_password->clear();
    accept();
    return true;
}

void LockWindow::closeEvent(QCloseEvent* event)
{
    // Only a password ends the lock.
    if (result() != QDialog::Accepted) {
        event->ignore();
    }
}

} // namespace brenvoll
