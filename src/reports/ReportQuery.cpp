#include "ReportQuery.h"

#include "formats/TextCells.h"
#include "record/DateRules.h"
#include "storage/Database.h"

#include <QStringList>

namespace brenvoll {

const QString kReportDateMessage = QStringLiteral("请填写正确格式的起止日期！日期格式为“2016-01-03”。");

namespace {
QString fitted(const QString& value, int width)
{
    return leftChars(value + QString(width, u' '), width);
}

// The filter's condition, with its three placeholders. An address written
// as null by another program is the empty address.
QString addressMatches()
{
    return Database::containsText(QStringLiteral("coalesce(地址, '')")) +
           QStringLiteral(" and 日期 between ? and ?");
}

// Checks the filter and binds it: address, first and last day.
ReportQuery::Error parameters(const ReportFilter& filter, QStringList& params, QString* error)
{
    const auto from = parseSearchDate(filter.from);
    const auto to = parseSearchDate(filter.to);
    if (!from || !to) {
        return ReportQuery::Error::BadDate;
    }
    if (!Database::fitsPattern(filter.address)) {
        if (error) {
            *error = QStringLiteral("查询条件太长，请输入较短的地址。");
        }
        return ReportQuery::Error::Database;
    }
    // Bound as stored, so that an address is found by the text it was saved
    // as; a null text is the empty text, which matches every address.
    params = {filter.address, formatDate(*from), formatDate(*to)};
    return ReportQuery::Error::None;
}
} // namespace

QStringList ReportColumns::titles()
{
    return {QStringLiteral("编号"), QStringLiteral("姓名"),     QStringLiteral("性别"),
            QStringLiteral("年龄"), QStringLiteral("电话号码"), QStringLiteral("体检结论")};
}

ReportQuery::Error ReportQuery::run(const ReportFilter& filter, const Visit& visit, QString* error)
{
    QStringList params;
    if (const Error checked = parameters(filter, params, error); checked != Error::None) {
        return checked;
    }
    const QByteArray sql = (QStringLiteral("select \"0\", 姓名, 性别, 年龄, \"1\", \"41\" from 档案 where ") +
                            addressMatches() + QStringLiteral(" order by 序列号"))
                               .toUtf8();
    ReportColumns row;
    const bool ok = Database::readRows(
        sql.constData(), params,
        [&](const Database::Row& result) {
            for (int c = 0; c < int(row.cells.size()); ++c) {
                row.cells[size_t(c)] = result.text(c);
            }
            return visit(row);
        },
        error);
    return ok ? Error::None : Error::Database;
}

ReportQuery::Error ReportQuery::extent(const ReportFilter& filter, Extent& extent, QString* error)
{
    extent = {};
    QStringList params;
    if (const Error checked = parameters(filter, params, error); checked != Error::None) {
        return checked;
    }
    const auto first = [&extent](const Database::Row&) {
        extent.any = true;
        return false;
    };
    const auto count = [&extent](const Database::Row& row) {
        extent.most = row.integer(0);
        return false;
    };
    const QByteArray sql =
        (QStringLiteral("select 1 from 档案 where ") + addressMatches() + QStringLiteral(" limit 1"))
            .toUtf8();
    // The date index alone counts the range, without reading a record.
    const bool ok = Database::readRows(sql.constData(), params, first, error) &&
                    Database::readRows("select count(*) from 档案 where 日期 between ? and ?", params.mid(1),
                                       count, error);
    return ok ? Error::None : Error::Database;
}

QString padName(const QString& name)
{
    const int cells = displayCells(name);
    if (cells >= 4 && cells <= 6) {
        return name + QString(8 - cells, u' ');
    }
    return name;
}

QString reportLine(const ReportRow& row)
{
    static const QString gap(8, u' ');
    return fitted(row.number, 22) + padName(row.name) + gap + fitted(row.sex, 7) + fitted(row.age, 7) +
           row.conclusion;
}

} // namespace brenvoll
