#pragma once
// The report's selection: the examinations of one address filter and one
// range of dates, read from table 档案 in ascending key order, and the
// aligned text line the report window shows for each.
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace brenvoll {

// The message for date boxes that do not hold dates.
extern const QString kReportDateMessage;

struct ReportFilter
{
    QString address; // substring of 地址; "%" and "_" act as wildcards
    QString from;    // first day, as typed
    QString to;      // last day, as typed
};

// The columns a report uses of one record, as the engine holds them (UTF-8);
// valid only during the call that hands them over.
struct ReportColumns
{
    enum Column
    {
        Number,     // "0"
        Name,       // 姓名
        Sex,        // 性别
        Age,        // 年龄
        Phone,      // "1"
        Conclusion, // "41"
    };
    std::array<QByteArrayView, 6> cells;

    // The titles of the columns, in order, as the exported workbook heads them.
    static QStringList titles();
};

// The columns a report uses of one record, as texts.
struct ReportRow
{
    QString number;     // "0"
    QString name;       // 姓名
    QString sex;        // 性别
    QString age;        // 年龄
    QString phone;      // "1"
    QString conclusion; // "41"
};

class ReportQuery
{
public:
    enum class Error
    {
        None,
        BadDate,  // a date box does not hold a date
        Database, // the database could not be read
    };
    // Gets each record in turn; false ends the query early.
    using Visit = std::function<bool(const ReportColumns& row)>;

    // Records whose address contains the filter (a missing address is the
    // empty one) and whose date lies in the range, both ends included, in
    // ascending order of 序列号. Records are read straight from the engine
    // and handed over one at a time, so that nothing holds them all.
    static Error run(const ReportFilter& filter, const Visit& visit, QString* error = nullptr);

    // What a long run is to expect, found before it starts: whether any
    // record matches, and at most how many do (those of the date range).
    struct Extent
    {
        bool any = false;
        qint64 most = 0;
    };
    static Error extent(const ReportFilter& filter, Extent& extent, QString* error = nullptr);
};

// The name padded to the common name column: names 4, 5 or 6 half-width
// cells wide are filled with blanks to 8 cells, all others stay as they are.
QString padName(const QString& name);

// Number (22 characters), name, a gap of 8 blanks, sex (7), age (7) and the
// conclusion as it stands, joined without separators.
QString reportLine(const ReportRow& row);

} // namespace brenvoll
