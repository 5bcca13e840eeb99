#pragma once
// The operators' accounts (账户), their switches (账户设置) and the login
// record (登录记录), tables beside the designed ones (data/accounts.sql).
// While no account exists everybody logs in with the shared password of 设置
// as designed; the first account is an administrator and switches accounts
// on for the database, so for every desk on a server.
#include <QString>

#include <optional>
#include <vector>

namespace brenvoll {

enum class Role
{
    Clerk,         // 录入员
    Doctor,        // 医生
    Administrator, // 管理员
};

QString roleName(Role role);
std::optional<Role> roleFromName(const QString& name);

struct Account
{
    QString userName; // 用户名, as typed when made, without blanks around it
    QString fullName; // 姓名
    Role role = Role::Clerk;
    bool disabled = false;
    QString lastLogin; // yyyy-MM-dd hh:mm:ss, empty before the first
};

struct LoginEvent
{
    QString time; // yyyy-MM-dd hh:mm:ss
    QString userName;
    QString desk;
    QString result;
};

class AccountStore
{
public:
    // What the login record says happened.
    static const QString kLoggedIn;    // 登录
    static const QString kWrong;       // 用户名或密码错误
    static const QString kDisabled;    // 账户已停用
    static const QString kLoggedOut;   // 退出
    static const QString kLocked;      // 锁定
    static const QString kUnlocked;    // 解锁
    static const QString kSwitchedOff; // 关闭账户登录

    static constexpr int kMinimumPassword = 6;
    // The login window's password box takes 15 characters.
    static constexpr int kMaximumPassword = 15;
    static constexpr int kDefaultIdleMinutes = 15;
    static constexpr int kLoginRecordShown = 200;

    // Whether the open database holds the accounts' tables (an older one
    // gets them where the program opens it, SchemaUpgrade).
    static bool tablesPresent();

    // Whether logging in takes a user name: accounts are on. False without
    // the tables or when they cannot be read.
    static bool accountsOn();
    // Switches accounts off: the shared password alone logs in again. The
    // accounts stay, and making another one switches them on again.
    static bool switchOff(QString* error = nullptr);

    // Every account, by user name.
    static bool list(std::vector<Account>& accounts, QString* error = nullptr);
    static std::optional<Account> find(const QString& userName, QString* error = nullptr);

    // Makes an account; the first one of the database is an administrator
    // whatever `role` says, and it switches accounts on, in one transaction.
    // False with a reason for an empty or taken user name, an empty name or a
    // password shorter than kMinimumPassword or longer than kMaximumPassword.
    static bool add(const QString& userName, const QString& fullName, Role role, const QString& password,
                    QString* error = nullptr);
    static bool setRole(const QString& userName, Role role, QString* error = nullptr);
    static bool setDisabled(const QString& userName, bool disabled, QString* error = nullptr);
    static bool setPassword(const QString& userName, const QString& password, QString* error = nullptr);

    enum class Check
    {
        Ok,
        Wrong,    // no such user, or another password
        Disabled, // the right password of a disabled account
        Failed,   // the database could not be read; `error` says why
    };
    // Checks a login; on Ok `account` is filled and its last login set.
    static Check check(const QString& userName, const QString& password, Account* account,
                       QString* error = nullptr);

    // The seconds the login waits after `failures` wrong tries in a row: none
    // for the first two, then 2, 4, 8 … up to 30.
    static int waitAfter(int failures);

    // Idle minutes before an unattended desk locks (0: never).
    static int idleMinutes();
    static bool setIdleMinutes(int minutes, QString* error = nullptr);

    // Adds a line to the login record, on this desk, now.
    static bool record(const QString& userName, const QString& result, QString* error = nullptr);
    // The newest lines of the login record, newest first.
    static bool loginRecord(std::vector<LoginEvent>& events, int limit = kLoginRecordShown,
                            QString* error = nullptr);

private:
    static bool setSwitch(const QString& item, const QString& value, QString* error);
    static QString readSwitch(const QString& item);
};

} // namespace brenvoll
