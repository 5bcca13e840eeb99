#include "AccountsUpgrade.h"

#include "HistoryUpgrade.h"
#include "accounts/AccountStore.h"

#include <QFile>

namespace brenvoll {

namespace {
QString g_safetyCopy;
} // namespace

bool AccountsUpgrade::run(const QDateTime& now, QString* error)
{
    g_safetyCopy.clear();
    if (AccountStore::tablesPresent()) {
        return true;
    }
    QString copy;
    QString reason;
    if (!HistoryUpgrade::takeSafetyCopy(now, &copy, &reason) || !AccountStore::createTables(&reason)) {
        // The file is as it was: its copy would only pile up.
        if (!copy.isEmpty()) {
            QFile::remove(copy);
        }
        if (error) {
            *error = reason;
        }
        return false;
    }
    g_safetyCopy = copy;
    return true;
}

QString AccountsUpgrade::safetyCopy()
{
    return g_safetyCopy;
}

} // namespace brenvoll
