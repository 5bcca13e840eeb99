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

const QStringList& normalFindings()
{
    // The plain findings, then the delivered stock phrases of a normal ECG,
    // ultrasound and chest X-ray: a sheet filled in with those phrases is a
    // normal one.
    static const QStringList findings{QStringLiteral("正常"),
                                      QStringLiteral("未见异常"),
                                      QStringLiteral("未见明显异常"),
                                      QStringLiteral("大致正常"),
                                      QStringLiteral("窦性心律，心电图正常"),
                                      QStringLiteral("肝胆脾胰双肾未见明显异常"),
                                      QStringLiteral("双肺纹理清晰，心膈未见异常")};
    return findings;
}

bool isNormalFinding(const QString& text)
{
    return normalFindings().contains(trimBlanks(text));
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
    const QString s = trimBlanks(sex);
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
    QString years = trimBlanks(age);
    if (years.endsWith(u'岁')) {
        years = trimBlanks(years.chopped(1));
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
        if (isEmptyText(text)) {
            return ItemOutcome::NotExamined;
        }
        return flagKind(item.field, text) == ValueFlag::Kind::Outstanding ? ItemOutcome::Abnormal
                                                                          : ItemOutcome::Normal;
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
