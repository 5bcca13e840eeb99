#pragma once
// "修改我的密码": the logged-in operator changes the password of their own
// account: the old password, the new one twice, at least
// AccountStore::kMinimumPassword characters. Wrong old passwords wait as
// wrong logins do.
#include <QDialog>

class QLineEdit;

namespace brenvoll {

class LoginPolicy;

class PasswordWindow : public QDialog
{
    Q_OBJECT
public:
    explicit PasswordWindow(QWidget* parent);

    // Changes the password, telling the operator the outcome; true when done.
    bool change(const QString& oldPassword, const QString& newPassword, const QString& again);

    QLineEdit* oldBox() const { return m_old; }
    QLineEdit* newBox() const { return m_new; }
    QLineEdit* againBox() const { return m_again; }

private:
    QLineEdit* m_old = nullptr;
    QLineEdit* m_new = nullptr;
    QLineEdit* m_again = nullptr;
    LoginPolicy* m_policy = nullptr;
};

} // namespace brenvoll
