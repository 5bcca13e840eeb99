#include "SettingsStore.h"

#include "storage/Database.h"

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

namespace {
bool isAsciiDigit(QChar ch)
{
    return ch >= u'0' && ch <= u'9';
}

// A sign, digits with at most one decimal point, then an exponent led by E
// or D; reading stops at the first other character.
double decimalNumber(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    QString number;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        number += text[i++];
    }
    bool point = false;
    bool digits = false;
    for (; i < n && (isAsciiDigit(text[i]) || (text[i] == u'.' && !point)); ++i) {
        point = point || text[i] == u'.';
        digits = digits || text[i] != u'.';
        number += text[i];
    }
    if (!digits) {
        return 0.0;
    }
    if (i < n && QStringLiteral("EeDd").contains(text[i])) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == u'-' || text[j] == u'+')) {
            exponent += text[j++];
        }
        const qsizetype first = j;
        for (; j < n && isAsciiDigit(text[j]); ++j) {
            exponent += text[j];
        }
        if (j > first) {
            number += exponent;
        }
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    return ok ? value : 0.0;
}

// &H hexadecimal or &O octal digits, an integer of 16 bits with sign when it
// fits in 16 bits, else of 32 bits; more than 32 bits is too large.
double prefixedNumber(QStringView text)
{
    const QChar kind = text.size() > 1 ? text[1].toUpper() : QChar();
    const int base = kind == u'H' ? 16 : kind == u'O' ? 8 : 0;
    if (base == 0) {
        return 0.0;
    }
    quint64 value = 0;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const qsizetype digit =
            text[i].unicode() < 128 ? QStringLiteral("0123456789ABCDEF").indexOf(text[i].toUpper()) : -1;
        if (digit < 0 || digit >= base) {
            break;
        }
        value = value * quint64(base) + quint64(digit);
        if (value > 0xFFFFFFFFu) {
            return 0.0;
        }
    }
    return value <= 0xFFFF ? double(qint16(quint16(value))) : double(qint32(quint32(value)));
}
} // namespace

double SettingsStore::marginMillimetres(const QString& text)
{
    // Blanks, tabs and line feeds count nowhere in the text; a carriage
    // return is none of them and ends the number.
    QString compact;
    compact.reserve(text.size());
    for (const QChar ch : text) {
        if (ch != u' ' && ch != u'\t' && ch != u'\n') {
            compact += ch;
        }
    }
    // Hundreds of digits or a large exponent overflow to infinity, which no
    // page can be shifted by.
    const double millimetres = compact.startsWith(u'&') ? prefixedNumber(compact) : decimalNumber(compact);
    return std::isfinite(millimetres) ? millimetres : 0.0;
}

double SettingsStore::marginTwips(const QString& text)
{
    // Held in single precision: a margin past its range, such as 1e86,
    // counts as 0.
    const auto twips = float(marginMillimetres(text) * 56.7);
    return std::isfinite(twips) ? double(twips) : 0.0;
}

} // namespace brenvoll
