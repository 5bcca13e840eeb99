#include "LoginPolicy.h"

#include "base/Clock.h"
#include "base/TextRules.h"

#include <algorithm>

namespace brenvoll {

const QString LoginPolicy::kUnknownUser = QStringLiteral("（未知用户）");

namespace {
// waitAfter() grows no more from this many wrong tries on.
constexpr int kFailuresThatCount = 8;

// Whether a line of the login record ends a run of wrong tries: the name got
// in, or proved its password by changing it.
bool endsFailures(const QString& result)
{
    return result == AccountStore::kLoggedIn || result == AccountStore::kUnlocked ||
           result == AccountStore::kPasswordChanged;
}
} // namespace

LoginPolicy::LoginPolicy(Purpose purpose, const QString& lockedUser, QObject* parent)
    : QObject(parent), m_purpose(purpose), m_lockedUser(lockedUser)
{
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &LoginPolicy::tick);
}

QString LoginPolicy::waitText(int seconds)
{
    return QStringLiteral("请等待 %1 秒后再试。").arg(seconds);
}

int LoginPolicy::recordedWait(const QString& userName)
{
    std::vector<LoginEvent> events;
    if (!AccountStore::loginRecordOf(userName, events, kFailuresThatCount)) {
        return 0;
    }
    int failures = 0;
    QString newest;
    for (const LoginEvent& event : events) {
        if (endsFailures(event.result)) {
            break;
        }
        if (event.result == AccountStore::kWrong) {
            if (failures++ == 0) {
                newest = event.time;
            }
        }
    }
    const int wait = AccountStore::waitAfter(failures);
    if (wait == 0) {
        return 0;
    }
    const QDateTime at = QDateTime::fromString(newest, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!at.isValid()) {
        return wait;
    }
    // A desk whose clock runs ahead never makes the wait longer than it is.
    const qint64 since = std::max<qint64>(0, at.secsTo(Clock::now()));
    return int(std::max<qint64>(0, wait - since));
}

LoginPolicy::Result LoginPolicy::attempt(const QString& userName, const QString& password)
{
    if (waiting()) {
        return {Outcome::Waiting, {}, waitText(m_secondsLeft), m_secondsLeft};
    }
    const QString name = trimBlanks(userName);
    QString error;
    const bool known = AccountStore::find(name, &error).has_value();
    const QString recorded = known ? name : kUnknownUser;
    if (const int left = recordedWait(recorded); left > 0) {
        startWait(left);
        return {Outcome::Waiting, {}, waitText(left), left};
    }
    Account account;
    // Checking the old password of one's own account is no login.
    switch (
        AccountStore::check(name, password, m_purpose == Purpose::OwnPassword ? nullptr : &account, &error)) {
    case AccountStore::Check::Ok:
        break;
    case AccountStore::Check::Failed:
        return {Outcome::Failed, {}, QStringLiteral("无法读取数据库，不能登录。\n原因：") + error, 0};
    case AccountStore::Check::Disabled:
        AccountStore::record(recorded, AccountStore::kDisabled);
        return {Outcome::Disabled, {}, QStringLiteral("此账户已停用。"), 0};
    case AccountStore::Check::Wrong: {
        AccountStore::record(recorded, AccountStore::kWrong);
        const int wait = std::max(AccountStore::waitAfter(++m_failuresHere), recordedWait(recorded));
        if (wait > 0) {
            startWait(wait);
        }
        return {Outcome::Wrong, {}, QStringLiteral("用户名或密码错误。"), wait};
    }
    }
    m_failuresHere = 0;
    switch (m_purpose) {
    case Purpose::Login:
        AccountStore::record(account.userName, AccountStore::kLoggedIn);
        break;
    case Purpose::Unlock:
        AccountStore::record(account.userName, account.userName == m_lockedUser ? AccountStore::kUnlocked
                                                                                : AccountStore::kLoggedIn);
        break;
    case Purpose::OwnPassword:
        break;
    }
    return {Outcome::LetIn, account, {}, 0};
}

void LoginPolicy::startWait(int seconds)
{
    m_secondsLeft = seconds;
    m_tick.start();
    emit waitChanged(m_secondsLeft);
}

void LoginPolicy::tick()
{
    if (--m_secondsLeft <= 0) {
        endWait();
        return;
    }
    emit waitChanged(m_secondsLeft);
}

void LoginPolicy::endWait()
{
    m_tick.stop();
    m_secondsLeft = 0;
    emit waitChanged(0);
}

} // namespace brenvoll
