#pragma once
// The yearly count of examinations: how many people were examined and how
// many of them had each abnormal finding, by sex and by age group. A finding
// is abnormal by the very rules that point values out on the sheet
// (ValueFlags): a person counts with a raised value exactly when the sheet
// flags its box.
//
// Each person counts once, by the latest examination in the range; people
// are told apart as 复制上次体检 tells them (PeopleOfOneName). A value that is
// empty or cannot be read is not counted as abnormal: it counts as not
// examined for its row, and the rate of a cell is the abnormal among those
// examined for that row in that column.
#include "BodyMeasures.h"
#include "ExamCells.h"
#include "FieldMap.h"
#include "HealthRules.h"
#include "PublicHealth.h"
#include "ValueFlags.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
#include <optional>
#include <vector>

namespace brenvoll {

// The age groups, by the number in the 年龄 box ("72", "72岁"); an age that
// is empty or no number goes under "未填". Two groupings: five years each
// from 65, or those of the elderly in a county report (老年人: <65, 65–69,
// 70–79, ≥80).
enum class AgeGrouping
{
    FiveYears,
    Elderly,
};
struct AgeGroup
{
    QString title; // "<65", "65–69", … "≥85"
    int youngest;  // first whole year of the group
};
const std::vector<AgeGroup>& ageGroups(AgeGrouping grouping = AgeGrouping::FiveYears);

// The table's columns: 合计, 男, 女, 未填 (sex), the age groups, 未填 (age),
// and 未检 (the people of the row not examined for it).
namespace StatisticsColumns {
constexpr int kTotal = 0;
constexpr int kMale = 1;
constexpr int kFemale = 2;
constexpr int kSexUnknown = 3;
constexpr int kFirstAge = 4;
int ageUnknown(AgeGrouping grouping = AgeGrouping::FiveYears);  // after the age groups
int notExamined(AgeGrouping grouping = AgeGrouping::FiveYears); // the last column
int count(AgeGrouping grouping = AgeGrouping::FiveYears);
QStringList titles(AgeGrouping grouping = AgeGrouping::FiveYears);
// The columns named one by one, for files that other programs read: the
// titles with the age's 未填 as "年龄未填", and without 未检.
QStringList keys(AgeGrouping grouping);
} // namespace StatisticsColumns

// The column of a sex text: 男, 女 or 未填.
int sexColumn(const QString& sex);
// The column of an age text: its group, or 未填.
int ageColumn(const QString& age, AgeGrouping grouping = AgeGrouping::FiveYears);

// One row of abnormal findings.
struct StatisticsItem
{
    enum class Kind
    {
        BloodPressure, // 收缩压 or 舒张压 high (BodyMeasures): either box flagged
        Overweight,    // BMI overweight (BodyMeasures)
        Obese,         // BMI obese
        AboveRange,    // a laboratory value above its range
        BelowRange,    // below it
        Positive,      // a urine test positive
        Finding,       // a finding box filled and not a normal finding
    };
    QString title; // "血压偏高", "空腹血糖偏高", "尿蛋白阳性", "心电图异常"
    Kind kind;
    Field field; // the box (the systolic one for the blood pressure)
};

// Every row after 体检人数, in the table's order.
const std::vector<StatisticsItem>& statisticsItems();

enum class ItemOutcome
{
    Normal,
    Abnormal,
    NotExamined, // empty, or not a value
};

// What one examination says for one row; the cells need only the boxes of
// the row's kind.
ItemOutcome itemOutcome(const StatisticsItem& item, const ExamCells& cells);
ItemOutcome itemOutcome(const StatisticsItem& item, const ExamRecord& record);

// The outcome of every row for one examination, compact: a bit per row.
struct ExamOutcomes
{
    static constexpr int kMaxItems = 64;
    std::bitset<kMaxItems> abnormal;
    std::bitset<kMaxItems> notExamined;
};
ExamOutcomes examOutcomes(const ExamCells& cells);
ExamOutcomes examOutcomes(const ExamRecord& record);

// The counts of the table.
class StatisticsTable
{
public:
    StatisticsTable() : StatisticsTable(AgeGrouping::FiveYears) {}
    explicit StatisticsTable(AgeGrouping grouping);

    // Counts one person by the outcomes of the latest examination.
    void addPerson(int sexColumn, int ageColumn, const ExamOutcomes& outcomes,
                   const HealthOutcomes& health = {});

    // The columns of this table's age grouping.
    AgeGrouping grouping() const { return m_grouping; }
    int columnCount() const { return StatisticsColumns::count(m_grouping); }
    int notExaminedColumn() const { return StatisticsColumns::notExamined(m_grouping); }
    QStringList columnTitles() const { return StatisticsColumns::titles(m_grouping); }
    // The rows of 公共卫生指标, counted by column.
    const HealthCounts& health() const { return m_health; }

    qint64 examinations = 0; // in the range, before the people were told apart
    qint64 persons() const { return m_persons[StatisticsColumns::kTotal]; }

    // People in `column` (体检人数 of that column).
    qint64 persons(int column) const { return m_persons[size_t(column)]; }
    // Of row `item` in `column`: the abnormal, and those examined for it.
    qint64 abnormal(int item, int column) const;
    qint64 examined(int item, int column) const;
    qint64 notExamined(int item) const;
    // The abnormal rate in percent; none when nobody was examined.
    std::optional<double> rate(int item, int column) const;

    // The cell's text as the window, the pages and the workbook show it:
    // row -1 is 体检人数; an abnormal row reads "12 (3.4%)", or "0 (—)" when
    // nobody was examined for it; the 未检 column holds the count alone.
    QString cellText(int row, int column) const;
    QStringList rowTitles() const; // 体检人数, then the items
    // The line above the table: who counts, with the examinations and people.
    QString summary() const;

private:
    static constexpr int kMaxColumns = HealthCounts::kMaxColumns;
    AgeGrouping m_grouping = AgeGrouping::FiveYears;
    HealthCounts m_health;
    std::array<qint64, kMaxColumns> m_persons{};
    std::vector<std::array<qint64, kMaxColumns>> m_abnormal;
    std::vector<std::array<qint64, kMaxColumns>> m_notExamined;
};

} // namespace brenvoll
