#include "Session.h"

namespace brenvoll {

namespace {
std::optional<Account> g_current;

// The operator's role and state as the database has them now: an
// administrator at another desk may have changed them since the login. An
// account that cannot be read keeps what the login found.
void refresh()
{
    if (const auto stored = AccountStore::find(g_current->userName)) {
        g_current->role = stored->role;
        g_current->disabled = stored->disabled;
    }
}
} // namespace

const std::optional<Account>& Session::current()
{
    return g_current;
}

void Session::begin(const Account& account)
{
    g_current = account;
}

void Session::end()
{
    g_current.reset();
}

bool Session::roleMay(Role role, Command command)
{
    switch (command) {
    case Command::ChangePassword:
    case Command::Lock:
        return true;
    case Command::Delete:
    case Command::RestoreVersion:
        return role != Role::Clerk;
    case Command::Settings:
    case Command::RestoreBackup:
    case Command::ManageAccounts:
        return role == Role::Administrator;
    }
    return false;
}

bool Session::may(Command command)
{
    if (!g_current) {
        // The designed login: everything is open, and the commands that
        // belong to an account have none to work on.
        return command != Command::ChangePassword && command != Command::Lock;
    }
    refresh();
    if (g_current->disabled) {
        // Locking the desk is left to a disabled account, nothing else.
        return command == Command::Lock;
    }
    return roleMay(g_current->role, command);
}

QString Session::refusal()
{
    if (!g_current) {
        return QStringLiteral("没有以用户名登录，不能使用此功能。");
    }
    if (g_current->disabled) {
        return QStringLiteral("此账户已停用，不能使用此功能。");
    }
    return QStringLiteral("“%1”的权限不能使用此功能。").arg(roleName(g_current->role));
}

QString Session::operatorLine()
{
    return g_current ? QStringLiteral("%1（%2）").arg(g_current->fullName, roleName(g_current->role))
                     : QString();
}

QString Session::versionOperator()
{
    return g_current ? QStringLiteral("%1（%2）").arg(g_current->fullName, g_current->userName) : QString();
}

} // namespace brenvoll
