#include "RecordKey.h"

namespace brenvoll {

QString keyFor(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString KeyIssuer::issue(const QDateTime& now, const Exists& stored)
{
    return *tryIssue(now, [&stored](const QString& key, QString*) -> std::optional<bool> {
        return stored && stored(key);
    });
}

std::optional<QString> KeyIssuer::tryIssue(const QDateTime& now, const Lookup& stored, QString* error)
{
    for (QDateTime t = now;; t = t.addSecs(1)) {
        const QString key = keyFor(t);
        if (m_issued.contains(key)) {
            continue;
        }
        std::optional<bool> taken;
        for (int attempt = 0; !taken && attempt < kLookupAttempts; ++attempt) {
            taken = stored(key, error);
        }
        if (!taken) {
            return std::nullopt;
        }
        if (!*taken) {
            m_issued.insert(key);
            return key;
        }
    }
}

} // namespace brenvoll
