#pragma once
// How a typed user name and password are let in, wherever they are typed
// (the login, the lock, the old password of 修改我的密码…): the try is checked
// and recorded in the login record, the operator is told what happened in
// the same words everywhere, and wrong tries make the next one wait.
//
// The wait counts two ways, the longer one holding: the wrong tries in a row
// in this window, whatever names they typed, and the wrong tries in a row of
// the user name in the login record, so that neither a restart nor another
// desk gives fresh tries. A name that is no account is recorded, and counted,
// as kUnknownUser: what was typed there may be a password.
#include "AccountStore.h"

#include <QObject>
#include <QTimer>

namespace brenvoll {

class LoginPolicy : public QObject
{
    Q_OBJECT
public:
    // What the try is for, which decides what a success records.
    enum class Purpose
    {
        Login,       // 登录
        Unlock,      // 解锁 for the locked account, 登录 for another
        OwnPassword, // nothing: the change of password records itself
    };
    enum class Outcome
    {
        LetIn,
        Wrong,    // no such user, or another password
        Disabled, // the right password of a disabled account
        Failed,   // the database could not be read
        Waiting,  // not checked: wrong tries keep it waiting
    };
    struct Result
    {
        Outcome outcome = Outcome::Failed;
        Account account;     // on LetIn
        QString message;     // what to tell the operator; empty on LetIn
        int waitSeconds = 0; // the wait that follows, when one does
    };

    // How the login record names a user name that is no account.
    static const QString kUnknownUser; // （未知用户）

    // `lockedUser` names the account of a locked desk (Purpose::Unlock).
    explicit LoginPolicy(Purpose purpose, const QString& lockedUser = {}, QObject* parent = nullptr);

    // Checks one try, unless a wait is on; blanks around the name do not
    // count. A wrong try may start a wait (waitChanged() tells each second).
    Result attempt(const QString& userName, const QString& password);

    bool waiting() const { return m_secondsLeft > 0; }
    int secondsLeft() const { return m_secondsLeft; }
    // Ends the wait at once.
    void endWait();

    // "请等待 N 秒后再试。"
    static QString waitText(int seconds);
    // The seconds `userName` still waits by the login record now: its wrong
    // tries in a row since it last got in, waited from the newest of them.
    static int recordedWait(const QString& userName);

signals:
    // The seconds left, each second of a wait; 0 when it ends.
    void waitChanged(int secondsLeft);

private:
    void startWait(int seconds);
    void tick();

    Purpose m_purpose;
    QString m_lockedUser;
    int m_failuresHere = 0; // wrong tries in a row in this window
    int m_secondsLeft = 0;
    QTimer m_tick;
};

} // namespace brenvoll
