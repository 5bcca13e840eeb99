#pragma once
// Who works at this desk now, and what their role lets them do. Without
// accounts (none made, or switched off) nobody is logged in by name and
// every command is open, as designed.
#include "AccountStore.h"

#include <optional>

namespace brenvoll {

// The commands a role may be refused; everything else (search, new, save,
// print, preview and PDF, reports and export, phrases, drafts, the versions
// read back) is open to every role.
enum class Command
{
    Delete,         // 删除
    RestoreVersion, // 恢复此版本, 已删除的记录… and its 恢复
    Settings,       // 综合设置
    RestoreBackup,  // 恢复备份…
    ManageAccounts, // 用户管理…
    ChangePassword, // 修改我的密码… (an account's own)
    Lock,           // 锁定
};

class Session
{
public:
    // The account logged in at this desk; none without accounts.
    static const std::optional<Account>& current();
    static void begin(const Account& account);
    // Nobody by name: the shared password, or the program ending.
    static void end();

    // Whether the desk's operator may use `command`, by their account as the
    // database has it now: a role changed or an account disabled elsewhere
    // counts from the next command on.
    static bool may(Command command);
    // Whether `role` may use `command`.
    static bool roleMay(Role role, Command command);
    // What a refusal says.
    static QString refusal();

    // "姓名（角色）" of the operator; empty without accounts.
    static QString operatorLine();
    // How the kept versions name the operator: "姓名（用户名）"; empty
    // without accounts.
    static QString versionOperator();
};

} // namespace brenvoll
