#include "DateRules.h"

#include "base/TextRules.h"

#include <QRegularExpression>

namespace brenvoll {

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

} // namespace brenvoll
