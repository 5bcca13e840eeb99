#pragma once
// Record keys: 序列号, the local time at which a blank sheet was prepared.
#include <QDateTime>
#include <QSet>
#include <QString>

#include <functional>
#include <optional>

namespace brenvoll {

// Record keys: the time a blank sheet was prepared, as yyyymmddhhmmss.
QString keyFor(const QDateTime& time);

// Hands out record keys that are neither stored nor already handed out in this
// run: the clock's second, or the next free second after it.
class KeyIssuer
{
public:
    using Exists = std::function<bool(const QString& key)>;
    // Whether `key` is stored; nothing when that could not be found out
    // (`error` then says why).
    using Lookup = std::function<std::optional<bool>(const QString& key, QString* error)>;
    // How often a failing look-up of one key is tried.
    static constexpr int kLookupAttempts = 3;

    QString issue(const QDateTime& now, const Exists& stored);
    // A key is handed out only once `stored` told it is not stored: when the
    // look-up of a key keeps failing, nothing is issued and `error` says why.
    std::optional<QString> tryIssue(const QDateTime& now, const Lookup& stored, QString* error = nullptr);

private:
    QSet<QString> m_issued;
};

} // namespace brenvoll
