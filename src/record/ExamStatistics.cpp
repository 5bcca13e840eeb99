#include "ExamStatistics.h"

#include "base/TextRules.h"

#include <cmath>

namespace brenvoll {

namespace {

QString withoutSurroundingBlanks(const QString& text)
{
    QString t = trimBlanks(text);
    while (t.startsWith(u'\u3000')) {
        t.remove(0, 1);
    }
    while (t.endsWith(u'\u3000')) {
        t.chop(1);
    }
    return t;
}

bool isEmptyText(const QString& text)
{
    return withoutSurroundingBlanks(text).isEmpty();
}

// A height or weight: a number, in the unit its caption prints or none.
std::optional<double> measure(const QString& text, const QString& unit)
{
    const auto value = readLabValue(text, unit);
    if (!value || value->bound != LabValue::Bound::Exact) {
        return std::nullopt;
    }
    return value->number;
}

std::vector<StatisticsItem> makeItems()
{
    std::vector<StatisticsItem> items{
        {QStringLiteral("血压偏高"), StatisticsItem::Kind::BloodPressure, Field::SystolicPressure},
        {QStringLiteral("超重"), StatisticsItem::Kind::Overweight, Field::Height},
        {QStringLiteral("肥胖"), StatisticsItem::Kind::Obese, Field::Height},
    };
    for (const BoxDef& box : FieldMap::boxes()) {
        const auto& range = FieldMap::referenceRange(box.field);
        if (!range) {
            continue;
        }
        items.push_back({range->name + QStringLiteral("偏高"), StatisticsItem::Kind::AboveRange, box.field});
        // A range from 0 has one end: no laboratory value lies below 0.
        if (range->low > 0) {
            items.push_back(
                {range->name + QStringLiteral("偏低"), StatisticsItem::Kind::BelowRange, box.field});
        }
    }
    const std::pair<Field, const char16_t*> urine[] = {{Field::UrineProtein, u"尿蛋白阳性"},
                                                       {Field::UrineSugar, u"尿糖阳性"},
                                                       {Field::UrineBlood, u"尿隐血阳性"},
                                                       {Field::UrineKetones, u"尿酮体阳性"}};
    for (const auto& [field, title] : urine) {
        items.push_back({QString::fromUtf16(title), StatisticsItem::Kind::Positive, field});
    }
    items.push_back({QStringLiteral("心电图异常"), StatisticsItem::Kind::Finding, Field::Ecg});
    items.push_back({QStringLiteral("B超异常"), StatisticsItem::Kind::Finding, Field::Ultrasound});
    items.push_back({QStringLiteral("胸部X线异常"), StatisticsItem::Kind::Finding, Field::ChestXray});
    return items;
}

ItemOutcome rangeOutcome(const std::optional<RangeReading>& reading, RangeReading abnormal)
{
    if (!reading || *reading == RangeReading::Unreadable) {
        return ItemOutcome::NotExamined;
    }
    return *reading == abnormal ? ItemOutcome::Abnormal : ItemOutcome::Normal;
}

ItemOutcome pressureOutcome(const ExamRecord& record)
{
    const ValueFlag systolic = valueFlag(Field::SystolicPressure, record[Field::SystolicPressure]);
    const ValueFlag diastolic = valueFlag(Field::DiastolicPressure, record[Field::DiastolicPressure]);
    if (systolic.kind == ValueFlag::Kind::Outstanding || diastolic.kind == ValueFlag::Kind::Outstanding) {
        return ItemOutcome::Abnormal;
    }
    if (systolic.kind == ValueFlag::Kind::Unreadable || diastolic.kind == ValueFlag::Kind::Unreadable ||
        isEmptyText(record[Field::SystolicPressure]) || isEmptyText(record[Field::DiastolicPressure])) {
        return ItemOutcome::NotExamined;
    }
    return ItemOutcome::Normal;
}

ItemOutcome bmiOutcome(const ExamRecord& record, bool obese)
{
    const auto tenths = bmiTenths(record[Field::Height], record[Field::Weight]);
    if (!tenths) {
        return ItemOutcome::NotExamined;
    }
    const bool abnormal = obese ? *tenths >= 280 : *tenths >= 240 && *tenths < 280;
    return abnormal ? ItemOutcome::Abnormal : ItemOutcome::Normal;
}

QString percent(double rate)
{
    return QString::number(rate, 'f', 1) + u'%';
}

} // namespace

const QStringList& normalFindings()
{
    static const QStringList findings{QStringLiteral("正常"), QStringLiteral("未见异常"),
                                      QStringLiteral("未见明显异常"), QStringLiteral("大致正常")};
    return findings;
}

bool isNormalFinding(const QString& text)
{
    return normalFindings().contains(withoutSurroundingBlanks(text));
}

const std::vector<AgeGroup>& ageGroups()
{
    static const std::vector<AgeGroup> groups{
        {QStringLiteral("<65"), 0},    {QStringLiteral("65–69"), 65}, {QStringLiteral("70–74"), 70},
        {QStringLiteral("75–79"), 75}, {QStringLiteral("80–84"), 80}, {QStringLiteral("≥85"), 85},
    };
    return groups;
}

namespace StatisticsColumns {
int ageUnknown()
{
    return kFirstAge + int(ageGroups().size());
}
int notExamined()
{
    return ageUnknown() + 1;
}
int count()
{
    return notExamined() + 1;
}
QStringList titles()
{
    QStringList all{QStringLiteral("合计"), QStringLiteral("男"), QStringLiteral("女"),
                    QStringLiteral("未填")};
    for (const AgeGroup& group : ageGroups()) {
        all << group.title;
    }
    all << QStringLiteral("未填") << QStringLiteral("未检");
    return all;
}
} // namespace StatisticsColumns

int sexColumn(const QString& sex)
{
    const QString s = withoutSurroundingBlanks(sex);
    if (s == u"男") {
        return StatisticsColumns::kMale;
    }
    if (s == u"女") {
        return StatisticsColumns::kFemale;
    }
    return StatisticsColumns::kSexUnknown;
}

int ageColumn(const QString& age)
{
    QString years = withoutSurroundingBlanks(age);
    if (years.endsWith(u'岁')) {
        years = withoutSurroundingBlanks(years.chopped(1));
    }
    const auto number = sheetNumber(years);
    if (!number) {
        return StatisticsColumns::ageUnknown();
    }
    const auto& groups = ageGroups();
    int column = StatisticsColumns::kFirstAge;
    for (size_t g = 1; g < groups.size() && *number >= groups[g].youngest; ++g) {
        ++column;
    }
    return column;
}

const std::vector<StatisticsItem>& statisticsItems()
{
    static const std::vector<StatisticsItem> items = makeItems();
    return items;
}

std::optional<int> bmiTenths(const QString& heightCm, const QString& weightKg)
{
    const auto height = measure(heightCm, QStringLiteral("cm"));
    const auto weight = measure(weightKg, QStringLiteral("kg"));
    if (!height || !weight || *height <= 0) {
        return std::nullopt;
    }
    const double metres = *height / 100;
    return int(std::lround(*weight / (metres * metres) * 10));
}

ItemOutcome itemOutcome(const StatisticsItem& item, const ExamRecord& record)
{
    const QString& text = record[item.field];
    switch (item.kind) {
    case StatisticsItem::Kind::BloodPressure:
        return pressureOutcome(record);
    case StatisticsItem::Kind::Overweight:
    case StatisticsItem::Kind::Obese:
        return bmiOutcome(record, item.kind == StatisticsItem::Kind::Obese);
    case StatisticsItem::Kind::AboveRange:
        return rangeOutcome(readAgainstRange(text, *FieldMap::referenceRange(item.field)),
                            RangeReading::Above);
    case StatisticsItem::Kind::BelowRange:
        return rangeOutcome(readAgainstRange(text, *FieldMap::referenceRange(item.field)),
                            RangeReading::Below);
    case StatisticsItem::Kind::Positive:
        if (isEmptyText(text)) {
            return ItemOutcome::NotExamined;
        }
        return valueFlag(item.field, text).kind == ValueFlag::Kind::Outstanding ? ItemOutcome::Abnormal
                                                                                : ItemOutcome::Normal;
    case StatisticsItem::Kind::Finding:
        if (isEmptyText(text)) {
            return ItemOutcome::NotExamined;
        }
        return isNormalFinding(text) ? ItemOutcome::Normal : ItemOutcome::Abnormal;
    }
    return ItemOutcome::NotExamined;
}

ExamOutcomes examOutcomes(const ExamRecord& record)
{
    ExamOutcomes outcomes;
    const auto& items = statisticsItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const StatisticsItem& item = items[i];
        ItemOutcome outcome = ItemOutcome::NotExamined;
        // A laboratory value is read once for both its rows.
        if (item.kind == StatisticsItem::Kind::AboveRange) {
            const auto reading = readAgainstRange(record[item.field], *FieldMap::referenceRange(item.field));
            outcome = rangeOutcome(reading, RangeReading::Above);
            if (i + 1 < items.size() && items[i + 1].kind == StatisticsItem::Kind::BelowRange &&
                items[i + 1].field == item.field) {
                const ItemOutcome below = rangeOutcome(reading, RangeReading::Below);
                outcomes.abnormal[i + 1] = below == ItemOutcome::Abnormal;
                outcomes.notExamined[i + 1] = below == ItemOutcome::NotExamined;
                outcomes.abnormal[i] = outcome == ItemOutcome::Abnormal;
                outcomes.notExamined[i] = outcome == ItemOutcome::NotExamined;
                ++i;
                continue;
            }
        } else {
            outcome = itemOutcome(item, record);
        }
        outcomes.abnormal[i] = outcome == ItemOutcome::Abnormal;
        outcomes.notExamined[i] = outcome == ItemOutcome::NotExamined;
    }
    return outcomes;
}

StatisticsTable::StatisticsTable()
    : m_abnormal(statisticsItems().size(), std::array<qint64, kMaxColumns>{}),
      m_notExamined(statisticsItems().size(), std::array<qint64, kMaxColumns>{})
{
}

void StatisticsTable::addPerson(int sexColumn, int ageColumn, const ExamOutcomes& outcomes)
{
    const size_t columns[] = {size_t(StatisticsColumns::kTotal), size_t(sexColumn), size_t(ageColumn)};
    for (const size_t c : columns) {
        ++m_persons[c];
    }
    for (size_t i = 0; i < m_abnormal.size(); ++i) {
        if (outcomes.abnormal[i]) {
            for (const size_t c : columns) {
                ++m_abnormal[i][c];
            }
        } else if (outcomes.notExamined[i]) {
            for (const size_t c : columns) {
                ++m_notExamined[i][c];
            }
        }
    }
}

qint64 StatisticsTable::abnormal(int item, int column) const
{
    return m_abnormal[size_t(item)][size_t(column)];
}

qint64 StatisticsTable::examined(int item, int column) const
{
    return m_persons[size_t(column)] - m_notExamined[size_t(item)][size_t(column)];
}

qint64 StatisticsTable::notExamined(int item) const
{
    return m_notExamined[size_t(item)][StatisticsColumns::kTotal];
}

std::optional<double> StatisticsTable::rate(int item, int column) const
{
    const qint64 of = examined(item, column);
    if (of <= 0) {
        return std::nullopt;
    }
    return 100.0 * double(abnormal(item, column)) / double(of);
}

QString StatisticsTable::cellText(int row, int column) const
{
    if (row < 0) {
        return column == StatisticsColumns::notExamined() ? QString() : QString::number(persons(column));
    }
    if (column == StatisticsColumns::notExamined()) {
        return QString::number(notExamined(row));
    }
    const auto r = rate(row, column);
    return QString::number(abnormal(row, column)) + QStringLiteral(" (") +
           (r ? percent(*r) : QStringLiteral("—")) + u')';
}

QStringList StatisticsTable::rowTitles() const
{
    QStringList titles{QStringLiteral("体检人数")};
    for (const StatisticsItem& item : statisticsItems()) {
        titles << item.title;
    }
    return titles;
}

QString StatisticsTable::summary() const
{
    return QStringLiteral("每人只计一次，按其在所选期间内最近一次体检统计（同姓名同地址视为同一人）："
                          "共 %1 次体检，%2 人。")
        .arg(examinations)
        .arg(persons());
}

} // namespace brenvoll
