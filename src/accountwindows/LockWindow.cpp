#include "LockWindow.h"

#include "accounts/LoginPolicy.h"
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
    m_user->setMaxLength(AccountStore::kMaximumUserName);
    form->addRow(QStringLiteral("用户名"), m_user);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAttribute(Qt::WA_InputMethodEnabled, false);
    form->addRow(QStringLiteral("密码"), m_password);
    m_waitLabel = new QLabel(this);
    m_waitLabel->setObjectName(QStringLiteral("Wait"));
    QPalette warning = m_waitLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(192, 0, 0));
    m_waitLabel->setPalette(warning);
    m_waitLabel->hide();
    form->addRow(m_waitLabel);
    m_unlock = new QPushButton(QStringLiteral("解锁"), this);
    m_unlock->setObjectName(QStringLiteral("Unlock"));
    m_unlock->setDefault(true);
    form->addRow(m_unlock);
    connect(m_unlock, &QPushButton::clicked, this, &LockWindow::tryUnlock);
    connect(m_user, &QLineEdit::returnPressed, m_password, qOverload<>(&QWidget::setFocus));
    connect(m_password, &QLineEdit::returnPressed, this, &LockWindow::tryUnlock);
    m_policy = new LoginPolicy(LoginPolicy::Purpose::Unlock, account.userName, this);
    connect(m_policy, &LoginPolicy::waitChanged, this, [this](int secondsLeft) {
        m_unlock->setEnabled(secondsLeft == 0);
        m_waitLabel->setText(secondsLeft > 0 ? LoginPolicy::waitText(secondsLeft) : QString());
        m_waitLabel->setVisible(secondsLeft > 0);
    });
    m_password->setFocus();
}

bool LockWindow::waiting() const
{
    return m_policy->waiting();
}

void LockWindow::endWait()
{
    m_policy->endWait();
}

bool LockWindow::tryUnlock()
{
    // The login's rules and words; a try during the wait is told the seconds
    // left.
    const LoginPolicy::Result result = m_policy->attempt(m_user->text(), m_password->text());
    switch (result.outcome) {
    case LoginPolicy::Outcome::LetIn:
        break;
    case LoginPolicy::Outcome::Failed:
        MessageBox::warning(this, result.message);
        return false;
    case LoginPolicy::Outcome::Wrong:
    case LoginPolicy::Outcome::Disabled:
    case LoginPolicy::Outcome::Waiting:
        MessageBox::notice(this, result.message);
        return false;
    }
    m_account = result.account;
    m_switched = m_account.userName != m_locked.userName;
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
