#include "AccountStore.h"

#include "PasswordHash.h"
#include "base/Clock.h"
#include "base/TextRules.h"
#include "storage/Database.h"
#include "storage/SchemaSteps.h"
#include "storage/WriteTransaction.h"

#include <QSysInfo>

namespace brenvoll {

const QString AccountStore::kLoggedIn = QStringLiteral("登录");
const QString AccountStore::kWrong = QStringLiteral("用户名或密码错误");
const QString AccountStore::kDisabled = QStringLiteral("账户已停用");
const QString AccountStore::kLoggedOut = QStringLiteral("退出");
const QString AccountStore::kLocked = QStringLiteral("锁定");
const QString AccountStore::kUnlocked = QStringLiteral("解锁");
const QString AccountStore::kSwitchedOff = QStringLiteral("关闭账户登录");

namespace {
const QString kOnSwitch = QStringLiteral("账户登录");
const QString kIdleSwitch = QStringLiteral("锁定分钟");
const QString kColumns = QStringLiteral("用户名, 姓名, 角色, 停用, 最后登录");

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

QString now()
{
    return Clock::now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Runs `sql` with `texts` bound in order.
bool run(const QString& sql, const QStringList& texts, QString* error, QSqlQuery* result = nullptr)
{
    QSqlQuery query = Database::prepare(sql, error);
    for (const QString& text : texts) {
        Database::bindText(query, text);
    }
    if (!Database::exec(query, error)) {
        return false;
    }
    if (result) {
        *result = std::move(query);
    }
    return true;
}

bool passwordFits(const QString& password, QString* error)
{
    if (password.size() < AccountStore::kMinimumPassword ||
        password.size() > AccountStore::kMaximumPassword) {
        setError(error, QStringLiteral("密码要有 %1 到 %2 个字符。")
                            .arg(AccountStore::kMinimumPassword)
                            .arg(AccountStore::kMaximumPassword));
        return false;
    }
    return true;
}

Account accountOf(const QSqlQuery& query)
{
    Account account;
    account.userName = query.value(0).toString();
    account.fullName = query.value(1).toString();
    account.role = roleFromName(query.value(2).toString()).value_or(Role::Clerk);
    account.disabled = query.value(3).toInt() != 0;
    account.lastLogin = query.value(4).toString();
    return account;
}
} // namespace

QString roleName(Role role)
{
    switch (role) {
    case Role::Clerk:
        return QStringLiteral("录入员");
    case Role::Doctor:
        return QStringLiteral("医生");
    case Role::Administrator:
        return QStringLiteral("管理员");
    }
    return {};
}

std::optional<Role> roleFromName(const QString& name)
{
    for (const Role role : {Role::Clerk, Role::Doctor, Role::Administrator}) {
        if (roleName(role) == name) {
            return role;
        }
    }
    return std::nullopt;
}

bool AccountStore::tablesPresent()
{
    return Database::isOpen() && SchemaSteps::present(SchemaSteps::kAccounts).value_or(false);
}

QString AccountStore::readSwitch(const QString& item)
{
    QSqlQuery query;
    if (!tablesPresent() ||
        !run(QStringLiteral("select 值 from 账户设置 where 项目 = ?"), {item}, nullptr, &query) ||
        !query.next()) {
        return {};
    }
    return query.value(0).toString();
}

bool AccountStore::setSwitch(const QString& item, const QString& value, QString* error)
{
    return run(QStringLiteral("insert into 账户设置 (项目, 值) values (?, ?) "
                              "on conflict (项目) do update set 值 = excluded.值"),
               {item, value}, error);
}

bool AccountStore::accountsOn()
{
    return readSwitch(kOnSwitch) == QStringLiteral("1");
}

bool AccountStore::switchOff(QString* error)
{
    return setSwitch(kOnSwitch, QStringLiteral("0"), error);
}

bool AccountStore::list(std::vector<Account>& accounts, QString* error)
{
    accounts.clear();
    QSqlQuery query;
    if (!run(QStringLiteral("select %1 from 账户 order by 用户名").arg(kColumns), {}, error, &query)) {
        return false;
    }
    while (query.next()) {
        accounts.push_back(accountOf(query));
    }
    return true;
}

std::optional<Account> AccountStore::find(const QString& userName, QString* error)
{
    QSqlQuery query;
    if (!run(QStringLiteral("select %1 from 账户 where 用户名 = ?").arg(kColumns), {trimBlanks(userName)},
             error, &query) ||
        !query.next()) {
        return std::nullopt;
    }
    return accountOf(query);
}

bool AccountStore::add(const QString& userName, const QString& fullName, Role role, const QString& password,
                       QString* error)
{
    const QString name = trimBlanks(userName);
    const QString full = trimBlanks(fullName);
    if (name.isEmpty() || full.isEmpty()) {
        setError(error, QStringLiteral("请填写用户名和姓名。"));
        return false;
    }
    if (!passwordFits(password, error)) {
        return false;
    }
    const QString hash = PasswordHash::make(password);
    if (hash.isEmpty()) {
        setError(error, QStringLiteral("无法计算密码的散列值。"));
        return false;
    }
    WriteTransaction transaction(error);
    if (!transaction.isOpen()) {
        return false;
    }
    // Two desks making the first account at once: one of them is first. On
    // the file the write lock of the transaction keeps the other out.
    if (!transaction.lockTable(QStringLiteral("账户"), error)) {
        return false;
    }
    QSqlQuery count;
    if (!run(QStringLiteral("select count(*) from 账户"), {}, error, &count) || !count.next()) {
        return false;
    }
    const bool first = count.value(0).toInt() == 0;
    QSqlQuery taken;
    if (!run(QStringLiteral("select 1 from 账户 where 用户名 = ?"), {name}, error, &taken)) {
        return false;
    }
    if (taken.next()) {
        setError(error, QStringLiteral("用户名“%1”已经有了。").arg(name));
        return false;
    }
    const Role stored = first ? Role::Administrator : role;
    if (!run(QStringLiteral("insert into 账户 (用户名, 姓名, 角色, 停用, 密码散列, 最后登录) "
                            "values (?, ?, ?, 0, ?, '')"),
             {name, full, roleName(stored), hash}, error)) {
        return false;
    }
    // Making an account switches accounts on (again).
    if (!setSwitch(kOnSwitch, QStringLiteral("1"), error)) {
        return false;
    }
    if (first && readSwitch(kIdleSwitch).isEmpty() &&
        !setSwitch(kIdleSwitch, QString::number(kDefaultIdleMinutes), error)) {
        return false;
    }
    return transaction.commit(error);
}

bool AccountStore::setRole(const QString& userName, Role role, QString* error)
{
    return run(QStringLiteral("update 账户 set 角色 = ? where 用户名 = ?"), {roleName(role), userName},
               error);
}

bool AccountStore::setDisabled(const QString& userName, bool disabled, QString* error)
{
    return run(QStringLiteral("update 账户 set 停用 = %1 where 用户名 = ?").arg(disabled ? 1 : 0), {userName},
               error);
}

bool AccountStore::setPassword(const QString& userName, const QString& password, QString* error)
{
    if (!passwordFits(password, error)) {
        return false;
    }
    const QString hash = PasswordHash::make(password);
    if (hash.isEmpty()) {
        setError(error, QStringLiteral("无法计算密码的散列值。"));
        return false;
    }
    return run(QStringLiteral("update 账户 set 密码散列 = ? where 用户名 = ?"), {hash, userName}, error);
}

AccountStore::Check AccountStore::check(const QString& userName, const QString& password, Account* account,
                                        QString* error)
{
    QSqlQuery query;
    if (!run(QStringLiteral("select %1, 密码散列 from 账户 where 用户名 = ?").arg(kColumns),
             {trimBlanks(userName)}, error, &query)) {
        return Check::Failed;
    }
    if (!query.next()) {
        // As slow as a known name, so that the wait tells nothing.
        PasswordHash::verify(password, PasswordHash::make(QStringLiteral("……")));
        return Check::Wrong;
    }
    const Account found = accountOf(query);
    if (!PasswordHash::verify(password, query.value(5).toString())) {
        return Check::Wrong;
    }
    if (found.disabled) {
        return Check::Disabled;
    }
    if (account) {
        *account = found;
        account->lastLogin = now();
        run(QStringLiteral("update 账户 set 最后登录 = ? where 用户名 = ?"),
            {account->lastLogin, found.userName}, nullptr);
    }
    return Check::Ok;
}

int AccountStore::waitAfter(int failures)
{
    if (failures < 3) {
        return 0;
    }
    return failures >= 7 ? 30 : 1 << (failures - 2);
}

int AccountStore::idleMinutes()
{
    bool ok = false;
    const int minutes = readSwitch(kIdleSwitch).toInt(&ok);
    return ok && minutes >= 0 ? minutes : kDefaultIdleMinutes;
}

bool AccountStore::setIdleMinutes(int minutes, QString* error)
{
    return setSwitch(kIdleSwitch, QString::number(qMax(0, minutes)), error);
}

bool AccountStore::record(const QString& userName, const QString& result, QString* error)
{
    if (!tablesPresent()) {
        return true;
    }
    return run(QStringLiteral("insert into 登录记录 (时间, 用户名, 工作站, 结果) values (?, ?, ?, ?)"),
               {now(), userName, QSysInfo::machineHostName(), result}, error);
}

bool AccountStore::loginRecord(std::vector<LoginEvent>& events, int limit, QString* error)
{
    events.clear();
    QSqlQuery query;
    if (!run(QStringLiteral("select 时间, 用户名, 工作站, 结果 from 登录记录 order by 编号 desc limit %1")
                 .arg(limit),
             {}, error, &query)) {
        return false;
    }
    while (query.next()) {
        events.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                          query.value(3).toString()});
    }
    return true;
}

} // namespace brenvoll
