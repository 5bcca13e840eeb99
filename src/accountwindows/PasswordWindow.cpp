#include "PasswordWindow.h"

#include "accounts/LoginPolicy.h"
#include "accounts/Session.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace brenvoll {

PasswordWindow::PasswordWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordWindow"));
    setWindowTitle(QStringLiteral("修改我的密码"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(this);
    auto box = [&](const QString& label, const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setEchoMode(QLineEdit::Password);
        form->addRow(label, edit);
        return edit;
    };
    m_old = box(QStringLiteral("原密码"), "OldPassword");
    m_new = box(QStringLiteral("新密码"), "NewPassword");
    m_again = box(QStringLiteral("再输一次"), "AgainPassword");
    form->addRow(QString(), new QLabel(QStringLiteral("新密码要有 %1 到 %2 个字符。")
                                           .arg(AccountStore::kMinimumPassword)
                                           .arg(AccountStore::kMaximumPassword),
                                       this));
    m_policy = new LoginPolicy(LoginPolicy::Purpose::OwnPassword, {}, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (change(m_old->text(), m_new->text(), m_again->text())) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    enterPressesFocusedButton(this);
}

bool PasswordWindow::change(const QString& oldPassword, const QString& newPassword, const QString& again)
{
    const auto& me = Session::current();
    if (!me) {
        MessageBox::warning(this, Session::refusal());
        return false;
    }
    // The old password is a try like a login's: recorded, and counted
    // towards the wait of the account's name.
    const LoginPolicy::Result result = m_policy->attempt(me->userName, oldPassword);
    if (result.outcome == LoginPolicy::Outcome::Wrong) {
        MessageBox::warning(this, QStringLiteral("原密码错误！"));
        return false;
    }
    if (result.outcome != LoginPolicy::Outcome::LetIn) {
        MessageBox::warning(this, result.message);
        return false;
    }
    QString error;
    if (newPassword != again) {
        MessageBox::warning(this, QStringLiteral("两次输入的新密码不一样。"));
        return false;
    }
    if (!AccountStore::setPassword(me->userName, newPassword, &error)) {
        MessageBox::warning(this, QStringLiteral("密码没有更改：") + error);
        return false;
    }
    AccountStore::record(me->userName, AccountStore::kPasswordChanged);
    MessageBox::notice(this, QStringLiteral("密码已更改。"));
    return true;
}

} // namespace brenvoll
