#include "DateRules.h"

#include <QRegularExpression>

namespace brenvoll {

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ') {
        ++begin;
    }
    while (end > begin && text[end - 1] == u' ') {
        --end;
    }
    return text.mid(begin, end - begin);
}

bool hasDateShape(const QString& text)
{
    const QString t = trimBlanks(text);
    return t.size() == 10 && t[4] == u'-';
}

std::optional<QString> dateForSaving(const QString& text)
{
    if (!hasDateShape(text)) {
        return std::nullopt;
    }
    QString t = trimBlanks(text);
    t.replace(u'.', u'-');
    static const QRegularExpression shape(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!shape.match(t).hasMatch() || !QDate::fromString(t, QStringLiteral("yyyy-MM-dd")).isValid()) {
        return std::nullopt;
    }
    return t;
}

std::optional<QDate> parseSearchDate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{4})([-/.])(\\d{1,2})\\2(\\d{1,2})\\s*$"));
    const auto match = form.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QDate date(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(4).toInt());
    if (!date.isValid()) {
        return std::nullopt;
    }
    return date;
}

QString formatDate(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QDate oneYearBefore(const QDate& date)
{
    return date.addYears(-1);
}

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
