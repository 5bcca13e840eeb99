#include "ExamStatistics.h"

#include "base/TextRules.h"

namespace brenvoll {

namespace {

// Empty or blanks only: ASCII blanks and the full-width blank (UTF-8 E3 80 80).
bool isEmptyText(QByteArrayView utf8)
{
    static constexpr QByteArrayView kWideBlank("\xE3\x80\x80");
    while (!utf8.isEmpty()) {
        if (utf8.front() == ' ') {
            utf8 = utf8.sliced(1);
        } else if (utf8.startsWith(kWideBlank)) {
            utf8 = utf8.sliced(kWideBlank.size());
        } else {
            return false;
        }
    }
    return true;
}

// The UTF-8 cells of a record, kept alive beside their views.
struct RecordCells
{
    explicit RecordCells(const ExamRecord& record)
    {
        for (const BoxDef& box : FieldMap::boxes()) {
            texts[size_t(box.field)] = record[box.field].toUtf8();
            cells.cells[size_t(box.field)] = texts[size_t(box.field)];
        }
    }
    std::array<QByteArray, FieldMap::kIdentifyingCount + FieldMap::kFindingCount> texts;
    ExamCells cells;
};

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
        items.push_back(
            {box.operatorName + QStringLiteral("偏高"), StatisticsItem::Kind::AboveRange, box.field});
        // A range from 0 has one end: no laboratory value lies below 0.
        if (range->low > 0) {
            items.push_back(
                {box.operatorName + QStringLiteral("偏低"), StatisticsItem::Kind::BelowRange, box.field});
        }
    }
    for (const Field field :
         {Field::UrineProtein, Field::UrineSugar, Field::UrineBlood, Field::UrineKetones}) {
        items.push_back({FieldMap::box(field).operatorName + QStringLiteral("阳性"),
                         StatisticsItem::Kind::Positive, field});
    }
    for (const Field field : {Field::Ecg, Field::Ultrasound, Field::ChestXray}) {
        items.push_back({FieldMap::box(field).operatorName + QStringLiteral("异常"),
                         StatisticsItem::Kind::Finding, field});
    }
    return items;
}

ItemOutcome rangeOutcome(const std::optional<RangeReading>& reading, RangeReading abnormal)
{
    if (!reading || *reading == RangeReading::Unreadable) {
        return ItemOutcome::NotExamined;
    }
    return *reading == abnormal ? ItemOutcome::Abnormal : ItemOutcome::Normal;
}

ItemOutcome pressureOutcome(const ExamCells& cells)
{
    const ValueFlag::Kind systolic = flagKind(Field::SystolicPressure, cells[Field::SystolicPressure]);
    const ValueFlag::Kind diastolic = flagKind(Field::DiastolicPressure, cells[Field::DiastolicPressure]);
    if (systolic == ValueFlag::Kind::Outstanding || diastolic == ValueFlag::Kind::Outstanding) {
        return ItemOutcome::Abnormal;
    }
    if (systolic == ValueFlag::Kind::Unreadable || diastolic == ValueFlag::Kind::Unreadable ||
        isEmptyText(cells[Field::SystolicPressure]) || isEmptyText(cells[Field::DiastolicPressure])) {
        return ItemOutcome::NotExamined;
    }
    return ItemOutcome::Normal;
}

ItemOutcome bmiOutcome(const ExamCells& cells, bool obese)
{
    const auto tenths = bmiTenths(cells[Field::Height], cells[Field::Weight]);
    if (!tenths) {
        return ItemOutcome::NotExamined;
    }
    const BmiClass bmi = bmiClass(*tenths);
    return bmi == (obese ? BmiClass::Obese : BmiClass::Overweight) ? ItemOutcome::Abnormal
                                                                   : ItemOutcome::Normal;
}

QString percent(double rate)
{
    return QString::number(rate, 'f', 1) + u'%';
}

} // namespace

const std::vector<AgeGroup>& ageGroups(AgeGrouping grouping)
{
    static const std::vector<AgeGroup> fiveYears{
        {QStringLiteral("<65"), 0},    {QStringLiteral("65–69"), 65}, {QStringLiteral("70–74"), 70},
        {QStringLiteral("75–79"), 75}, {QStringLiteral("80–84"), 80}, {QStringLiteral("≥85"), 85},
    };
    static const std::vector<AgeGroup> elderly{
        {QStringLiteral("<65"), 0},
        {QStringLiteral("65–69"), 65},
        {QStringLiteral("70–79"), 70},
        {QStringLiteral("≥80"), 80},
    };
    return grouping == AgeGrouping::Elderly ? elderly : fiveYears;
}

namespace StatisticsColumns {
int ageUnknown(AgeGrouping grouping)
{
    return kFirstAge + int(ageGroups(grouping).size());
}
int notExamined(AgeGrouping grouping)
{
    return ageUnknown(grouping) + 1;
}
int count(AgeGrouping grouping)
{
    return notExamined(grouping) + 1;
}
QStringList titles(AgeGrouping grouping)
{
    QStringList all{QStringLiteral("合计"), QStringLiteral("男"), QStringLiteral("女"),
                    QStringLiteral("未填")};
    for (const AgeGroup& group : ageGroups(grouping)) {
        all << group.title;
    }
    all << QStringLiteral("未填") << QStringLiteral("未检");
    return all;
}
QStringList keys(AgeGrouping grouping)
{
    QStringList all = titles(grouping);
    all.removeLast();
    all.last() = QStringLiteral("年龄未填");
    return all;
}
} // namespace StatisticsColumns

int sexColumn(const QString& sex)
{
    const QString s = trimBlanks(sex);
    if (s == u"男") {
        return StatisticsColumns::kMale;
    }
    if (s == u"女") {
        return StatisticsColumns::kFemale;
    }
    return StatisticsColumns::kSexUnknown;
}

int ageColumn(const QString& age, AgeGrouping grouping)
{
    QString years = trimBlanks(age);
    if (years.endsWith(u'岁')) {
        years = trimBlanks(years.chopped(1));
    }
    const auto number = sheetNumber(years);
    if (!number) {
        return StatisticsColumns::ageUnknown(grouping);
    }
    const auto& groups = ageGroups(grouping);
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

ItemOutcome itemOutcome(const StatisticsItem& item, const ExamCells& cells)
{
    const QByteArrayView text = cells[item.field];
    switch (item.kind) {
    case StatisticsItem::Kind::BloodPressure:
        return pressureOutcome(cells);
    case StatisticsItem::Kind::Overweight:
    case StatisticsItem::Kind::Obese:
        return bmiOutcome(cells, item.kind == StatisticsItem::Kind::Obese);
    case StatisticsItem::Kind::AboveRange:
        return rangeOutcome(readAgainstRange(text, *FieldMap::referenceRange(item.field)),
                            RangeReading::Above);
    case StatisticsItem::Kind::BelowRange:
        return rangeOutcome(readAgainstRange(text, *FieldMap::referenceRange(item.field)),
                            RangeReading::Below);
    case StatisticsItem::Kind::Positive:
        // A grade that cannot be read (grey on the sheet) is not examined.
        switch (isEmptyText(text) ? ValueFlag::Kind::Unreadable : flagKind(item.field, text)) {
        case ValueFlag::Kind::Outstanding:
            return ItemOutcome::Abnormal;
        case ValueFlag::Kind::Unreadable:
            return ItemOutcome::NotExamined;
        case ValueFlag::Kind::None:
            break;
        }
        return ItemOutcome::Normal;
    case StatisticsItem::Kind::Finding:
        if (isEmptyText(text)) {
            return ItemOutcome::NotExamined;
        }
        return isNormalFinding(QString::fromUtf8(text)) ? ItemOutcome::Normal : ItemOutcome::Abnormal;
    }
    return ItemOutcome::NotExamined;
}

ItemOutcome itemOutcome(const StatisticsItem& item, const ExamRecord& record)
{
    return itemOutcome(item, RecordCells(record).cells);
}

ExamOutcomes examOutcomes(const ExamCells& cells)
{
    ExamOutcomes outcomes;
    const auto& items = statisticsItems();
    for (size_t i = 0; i < items.size(); ++i) {
        const StatisticsItem& item = items[i];
        const auto set = [&outcomes](size_t row, ItemOutcome outcome) {
            outcomes.abnormal[row] = outcome == ItemOutcome::Abnormal;
            outcomes.notExamined[row] = outcome == ItemOutcome::NotExamined;
        };
        // A laboratory value is read once for both its rows.
        if (item.kind == StatisticsItem::Kind::AboveRange && i + 1 < items.size() &&
            items[i + 1].kind == StatisticsItem::Kind::BelowRange && items[i + 1].field == item.field) {
            const auto reading = readAgainstRange(cells[item.field], *FieldMap::referenceRange(item.field));
            set(i, rangeOutcome(reading, RangeReading::Above));
            set(i + 1, rangeOutcome(reading, RangeReading::Below));
            ++i;
            continue;
        }
        set(i, itemOutcome(item, cells));
    }
    return outcomes;
}

ExamOutcomes examOutcomes(const ExamRecord& record)
{
    return examOutcomes(RecordCells(record).cells);
}

StatisticsTable::StatisticsTable(AgeGrouping grouping)
    : m_grouping(grouping), m_abnormal(statisticsItems().size(), std::array<qint64, kMaxColumns>{}),
      m_notExamined(statisticsItems().size(), std::array<qint64, kMaxColumns>{})
{
}

void StatisticsTable::addPerson(int sexColumn, int ageColumn, const ExamOutcomes& outcomes,
                                const HealthOutcomes& health)
{
    const size_t columns[] = {size_t(StatisticsColumns::kTotal), size_t(sexColumn), size_t(ageColumn)};
    for (const size_t c : columns) {
        ++m_persons[c];
    }
    const int healthColumns[] = {StatisticsColumns::kTotal, sexColumn, ageColumn};
    m_health.add(health, healthColumns, 3);
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
        return column == notExaminedColumn() ? QString() : QString::number(persons(column));
    }
    if (column == notExaminedColumn()) {
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
