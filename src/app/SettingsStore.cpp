#include "SettingsStore.h"

#include "Database.h"

#include <cmath>

namespace brenvoll {

namespace {
// The settings record is the first row of 设置 in table order.
const QString kFirstRow = QStringLiteral("(select rowid from 设置 order by rowid limit 1)");
} // namespace

bool SettingsStore::read(Settings& settings, QString* error)
{
    QSqlQuery query = Database::prepare(
        QStringLiteral("select 密码, 路径, 左边距, 上边距 from 设置 order by rowid limit 1"), error);
    if (!Database::exec(query, error)) {
        return false;
    }
    if (!query.next()) {
        if (error) {
            *error = query.lastError().isValid() ? Database::describe(query.lastError())
                                                 : QStringLiteral("设置表中没有记录。");
        }
        return false;
    }
    settings.password = query.value(0).toString();
    settings.folder = query.value(1).toString();
    settings.leftMargin = query.value(2).toString();
    settings.topMargin = query.value(3).toString();
    return true;
}

bool SettingsStore::writeFolderAndMargins(const QString& folder, const QString& left, const QString& top,
                                          QString* error)
{
    QSqlQuery query = Database::prepare(
        QStringLiteral("update 设置 set 路径 = ?, 左边距 = ?, 上边距 = ? where rowid = ") + kFirstRow, error);
    Database::bindText(query, folder);
    Database::bindText(query, left);
    Database::bindText(query, top);
    if (!Database::exec(query, error)) {
        return false;
    }
    if (query.numRowsAffected() < 1) {
        if (error) {
            *error = QStringLiteral("设置表中没有记录。");
        }
        return false;
    }
    return true;
}

bool SettingsStore::writePassword(const QString& password, QString* error)
{
    QSqlQuery query =
        Database::prepare(QStringLiteral("update 设置 set 密码 = ? where rowid = ") + kFirstRow, error);
    Database::bindText(query, password);
    if (!Database::exec(query, error)) {
        return false;
    }
    if (query.numRowsAffected() < 1) {
        if (error) {
            *error = QStringLiteral("设置表中没有记录。");
        }
        return false;
    }
    return true;
}

double SettingsStore::marginMillimetres(const QString& text)
{
    QString compact;
    for (const QChar ch : text) {
        if (ch != u' ' && ch != u'\t' && ch != u'\n' && ch != u'\r') {
            compact += ch;
        }
    }
    qsizetype i = 0;
    QString number;
    if (i < compact.size() && (compact[i] == u'-' || compact[i] == u'+')) {
        number += compact[i++];
    }
    bool point = false;
    bool digits = false;
    for (; i < compact.size(); ++i) {
        const QChar ch = compact[i];
        if (ch.isDigit() && ch.unicode() < 128) {
            number += ch;
            digits = true;
        } else if (ch == u'.' && !point) {
            number += ch;
            point = true;
        } else {
            break;
        }
    }
    // Hundreds of digits overflow to infinity, which no page can be shifted by.
    const double millimetres = digits ? number.toDouble() : 0.0;
    return std::isfinite(millimetres) ? millimetres : 0.0;
}

double SettingsStore::marginTwips(const QString& text)
{
    return double(float(marginMillimetres(text) * 56.7));
}

} // namespace brenvoll
