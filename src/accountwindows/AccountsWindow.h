#pragma once
// "用户管理": the accounts of the database (用户名, 姓名, 角色, 状态, last
// login), making one, setting its role, resetting its password, disabling and
// enabling it; the idle minutes before a desk locks; switching accounts off
// (with a question); and the newest lines of the login record. Accounts are
// never deleted: the kept versions name them.
#include "accounts/AccountStore.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

namespace brenvoll {

class AccountsWindow : public QDialog
{
    Q_OBJECT
public:
    // Adds the accounts' tables to a database that lacks them, before its
    // first account; false with a reason when it could not.
    using TableMaker = std::function<bool(QString* error)>;

    // The one window of this kind, shown and in front.
    static AccountsWindow* showWindow(QWidget* parent, TableMaker makeTables);

    // Reads accounts, switches and the login record again.
    void reload();

    // The window's commands, each telling the operator what went wrong.
    bool addAccount(const QString& userName, const QString& fullName, Role role, const QString& password,
                    const QString& again);
    bool setRoleOf(const QString& userName, Role role);
    bool resetPassword(const QString& userName, const QString& password, const QString& again);
    bool setDisabledOf(const QString& userName, bool disabled);
    // Asks first; true when accounts were switched off.
    bool switchOff();
    bool setIdleMinutes(int minutes);

    // On a server whose desks' login may only read the accounts: the
    // window's changes go through the server login `user` (made for account
    // administration), connected with `password` for as long as the window
    // is open; false (and told) when the server refuses it.
    bool useAccountLogin(const QString& user, const QString& password);
    // The default name of that login, as tools/shared-database.sh makes it.
    static const QString kAccountLogin;

    QTreeWidget* accountList() const { return m_accounts; }
    QLabel* emptyHint() const { return m_emptyHint; }
    QTreeWidget* loginList() const { return m_logins; }
    QSpinBox* idleBox() const { return m_idle; }
    QPushButton* switchOffButton() const { return m_switchOff; }

signals:
    // Accounts were made, changed or switched off.
    void accountsChanged();

protected:
    void done(int result) override;

private:
    AccountsWindow(QWidget* parent, TableMaker makeTables);
    ~AccountsWindow() override;
    // Asks for the account login when the changes need it and it is not
    // connected yet; false when it was not given or refused.
    bool accountLoginReady();
    void closeAccountLogin();
    // The user name of the chosen line; empty (and told) when none is.
    QString chosen();
    // False (and told) when the operator may no longer manage accounts.
    bool stillMay();
    // False (and told) as stillMay(), or when the change touches the
    // operator's own account. Whether an enabled administrator stays is the
    // store's to check, in the change's own transaction.
    bool mayChange(const QString& userName);
    void askNewAccount();
    void askRole();
    void askPassword();
    void toggleDisabled();

    TableMaker m_makeTables;
    std::vector<Account> m_list;
    QLabel* m_emptyHint = nullptr; // how to begin, while there is no account
    QTreeWidget* m_accounts = nullptr;
    QTreeWidget* m_logins = nullptr;
    QSpinBox* m_idle = nullptr;
    QPushButton* m_switchOff = nullptr;
    bool m_loading = false;
    static QPointer<AccountsWindow> s_instance;
};

} // namespace brenvoll
