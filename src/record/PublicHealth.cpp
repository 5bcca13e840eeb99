#include "PublicHealth.h"

#include "BodyMeasures.h"
#include "HealthRules.h"
#include "ValueFlags.h"
#include "base/TextRules.h"

#include <cmath>
#include <initializer_list>

namespace brenvoll {

namespace {

std::vector<HealthRow> makeRows()
{
    using K = HealthRow::Kind;
    using R = HealthRowId;
    const QString hypertensionGuide = QStringLiteral("中国高血压防治指南（2018）");
    const QString gradeRule = QStringLiteral("，按收缩压与舒张压中较高的一级定级");
    const QString steps = QStringLiteral("WHO STEPS");
    const QString who1999 = QStringLiteral("WHO 1999");
    const QString bmiStandard = QStringLiteral("WS/T 428-2013");
    const QString sheetRanges = QStringLiteral("体检表的参考范围");
    const QString asToday = QStringLiteral("与上方各行相同的判定");
    const QString findingRule = QStringLiteral("所见已填写且不是正常所见（正常、未见异常等）");
    const QString urineRule = QStringLiteral(
        "结果为阳性：+、++、+++、++++、1+～4+、阳性、阳性(+)；-、阴性、±为阴性，其他写法为未检");
    return {
        {R::Hypertension, K::Count, QStringLiteral("高血压（≥140/90）"),
         QStringLiteral("收缩压≥140 mmHg或舒张压≥90 mmHg"), hypertensionGuide},
        {R::Grade1, K::Count, QStringLiteral("1级高血压（140–159/90–99）"),
         QStringLiteral("血压分级为1级（收缩压140–159或舒张压90–99 mmHg）") + gradeRule, hypertensionGuide},
        {R::Grade2, K::Count, QStringLiteral("2级高血压（160–179/100–109）"),
         QStringLiteral("血压分级为2级（收缩压160–179或舒张压100–109 mmHg）") + gradeRule, hypertensionGuide},
        {R::Grade3, K::Count, QStringLiteral("3级高血压（≥180/110）"),
         QStringLiteral("血压分级为3级（收缩压≥180或舒张压≥110 mmHg）") + gradeRule, hypertensionGuide},
        {R::SystolicMean, K::Mean, QStringLiteral("收缩压均值（mmHg）"),
         QStringLiteral("有收缩压数值者的平均值，保留一位小数"), steps},
        {R::DiastolicMean, K::Mean, QStringLiteral("舒张压均值（mmHg）"),
         QStringLiteral("有舒张压数值者的平均值，保留一位小数"), steps},
        {R::ImpairedGlucose, K::Count, QStringLiteral("空腹血糖受损（6.1–6.9）"),
         QStringLiteral("6.1 mmol/L≤空腹血糖<7.0 mmol/L"), who1999},
        {R::DiabeticGlucose, K::Count, QStringLiteral("血糖达糖尿病切点（≥7.0）"),
         QStringLiteral("空腹血糖≥7.0 mmol/L"), who1999},
        {R::Underweight, K::Count, QStringLiteral("体重过低（BMI<18.5）"), QStringLiteral("BMI<18.5 kg/m²"),
         bmiStandard},
        {R::NormalWeight, K::Count, QStringLiteral("体重正常（18.5–23.9）"),
         QStringLiteral("18.5≤BMI<24.0 kg/m²"), bmiStandard},
        {R::Overweight, K::Count, QStringLiteral("超重（24–27.9）"), QStringLiteral("24.0≤BMI<28.0 kg/m²"),
         bmiStandard},
        {R::Obese, K::Count, QStringLiteral("肥胖（≥28）"), QStringLiteral("BMI≥28.0 kg/m²"), bmiStandard},
        {R::BmiMean, K::Mean, QStringLiteral("BMI均值"), QStringLiteral("有BMI者的平均BMI，保留一位小数"),
         steps},
        {R::Dyslipidaemia, K::Count, QStringLiteral("血脂异常"),
         QStringLiteral("总胆固醇≥6.2或甘油三酯≥2.3或低密度脂蛋白≥4.1或高密度脂蛋白<1.0 mmol/L"),
         QStringLiteral("中国成人血脂异常防治指南（2016）")},
        {R::Liver, K::Count, QStringLiteral("肝功能异常"),
         QStringLiteral("谷丙转氨酶>40或谷草转氨酶>40 U/L或总胆红素>17.1 µmol/L"), sheetRanges},
        {R::Kidney, K::Count, QStringLiteral("肾功能异常"),
         QStringLiteral("肌酐>106 µmol/L或尿素氮>7.1 mmol/L"), sheetRanges},
        {R::Anaemia, K::Count, QStringLiteral("贫血"),
         QStringLiteral("血红蛋白男<120 g/L、女<110 g/L；性别未填为未检"),
         QStringLiteral("中国成人贫血诊断标准（据WHO）")},
        {R::UrineProtein, K::Count, QStringLiteral("尿蛋白阳性（+及以上）"),
         QStringLiteral("尿蛋白") + urineRule, QStringLiteral("—")},
        {R::UrineSugar, K::Count, QStringLiteral("尿糖阳性（+及以上）"), QStringLiteral("尿糖") + urineRule,
         QStringLiteral("—")},
        {R::Ecg, K::Count, QStringLiteral("心电图异常（非正常所见）"), QStringLiteral("心电图") + findingRule,
         asToday},
        {R::Ultrasound, K::Count, QStringLiteral("B超异常（非正常所见）"),
         QStringLiteral("B超") + findingRule, asToday},
        {R::ChestXray, K::Count, QStringLiteral("胸片异常（非正常所见）"),
         QStringLiteral("胸部X线") + findingRule, asToday},
        {R::AnyAbnormal, K::Count, QStringLiteral("任一异常"),
         QStringLiteral(
             "高血压、空腹血糖受损或达糖尿病切点、超重或肥胖、血脂异常、肝功能异常、肾功能异常、"
             "贫血、尿蛋白或尿糖阳性、心电图、B超或胸片异常中至少一项；其中任一项可判定即计入分母"),
         QStringLiteral("县级体检报告的“体检异常率”")},
        {R::Population, K::Population, QStringLiteral("应管人数"),
         QStringLiteral("本年度辖区内应管理的常住居民人数，按列由本单位填写"), QString()},
        {R::ExaminationRate, K::Rate, QStringLiteral("体检率"), QStringLiteral("体检人数 / 应管人数"),
         QStringLiteral("国家基本公共卫生服务规范（第三版）")},
    };
}

RuleReading fromBool(bool holds)
{
    return holds ? RuleReading::Holds : RuleReading::Fails;
}

// Several values for one row: it holds when any does, and is told when one
// holds or at least one could be read.
RuleReading anyOf(std::initializer_list<RuleReading> readings)
{
    bool told = false;
    for (const RuleReading r : readings) {
        if (r == RuleReading::Holds) {
            return RuleReading::Holds;
        }
        told |= r == RuleReading::Fails;
    }
    return told ? RuleReading::Fails : RuleReading::Undecided;
}

RuleReading aboveRange(const ExamCells& cells, Field field)
{
    return valueAbove(field, cells[field], FieldMap::referenceRange(field)->high);
}

RuleReading abnormalFinding(QByteArrayView utf8)
{
    // The normal findings as usually typed are matched on the bytes at once.
    static const std::vector<QByteArray> normal = [] {
        std::vector<QByteArray> texts;
        for (const QString& finding : normalFindings()) {
            texts.push_back(finding.toUtf8());
        }
        return texts;
    }();
    for (const QByteArray& finding : normal) {
        if (utf8 == finding) {
            return RuleReading::Fails;
        }
    }
    const QString text = trimBlanks(QString::fromUtf8(utf8));
    if (text.isEmpty()) {
        return RuleReading::Undecided;
    }
    return fromBool(!isNormalFinding(text));
}

RuleReading positiveUrine(QByteArrayView utf8)
{
    const auto grade = urineGrade(utf8);
    if (!grade || *grade == UrineGrade::Unreadable) {
        return RuleReading::Undecided;
    }
    return fromBool(*grade == UrineGrade::Positive);
}

// A blood pressure as an exact number, in tenths of mmHg.
std::optional<qint32> pressureTenths(QByteArrayView utf8)
{
    const auto value = readLabValue(utf8, QStringLiteral("mmHg"));
    if (!value || value->bound != LabValue::Bound::Exact || value->number > 1000) {
        return std::nullopt;
    }
    return qint32(std::llround(value->number * 10));
}

} // namespace

const std::vector<HealthRow>& healthRows()
{
    static const std::vector<HealthRow> rows = makeRows();
    return rows;
}

const HealthRow& healthRow(HealthRowId id)
{
    return healthRows()[size_t(id)];
}

int HealthOutcomes::meanSlot(HealthRowId id)
{
    switch (id) {
    case HealthRowId::SystolicMean:
        return 0;
    case HealthRowId::DiastolicMean:
        return 1;
    case HealthRowId::BmiMean:
        return 2;
    default:
        return -1;
    }
}

const std::vector<Field>& healthFields()
{
    static const std::vector<Field> fields{Field::Height,
                                           Field::Weight,
                                           Field::SystolicPressure,
                                           Field::DiastolicPressure,
                                           Field::Haemoglobin,
                                           Field::UrineProtein,
                                           Field::UrineSugar,
                                           Field::Alt,
                                           Field::Ast,
                                           Field::TotalBilirubin,
                                           Field::UreaNitrogen,
                                           Field::Creatinine,
                                           Field::FastingGlucose,
                                           Field::Triglycerides,
                                           Field::TotalCholesterol,
                                           Field::Hdl,
                                           Field::Ldl,
                                           Field::Ecg,
                                           Field::Ultrasound,
                                           Field::ChestXray};
    return fields;
}

HealthOutcomes healthOutcomes(const ExamCells& cells)
{
    using R = HealthRowId;
    HealthOutcomes out;
    const auto set = [&out](R id, RuleReading reading) {
        out.holds[size_t(id)] = reading == RuleReading::Holds;
        out.decided[size_t(id)] = reading != RuleReading::Undecided;
    };

    const QByteArrayView systolic = cells[Field::SystolicPressure];
    const QByteArrayView diastolic = cells[Field::DiastolicPressure];
    // High when either value is; normal only when both are known below: one
    // alone may hide a high other.
    const RuleReading highSystolic =
        valueAtLeast(Field::SystolicPressure, systolic, BodyMeasures::kHighSystolicPressure);
    const RuleReading highDiastolic =
        valueAtLeast(Field::DiastolicPressure, diastolic, BodyMeasures::kHighDiastolicPressure);
    set(R::Hypertension,
        highSystolic == RuleReading::Holds || highDiastolic == RuleReading::Holds   ? RuleReading::Holds
        : highSystolic == RuleReading::Fails && highDiastolic == RuleReading::Fails ? RuleReading::Fails
                                                                                    : RuleReading::Undecided);
    const auto grade = pressureGrade(systolic, diastolic);
    for (const auto& [id, level] :
         {std::pair{R::Grade1, 1}, std::pair{R::Grade2, 2}, std::pair{R::Grade3, 3}}) {
        set(id, grade ? fromBool(*grade == level) : RuleReading::Undecided);
    }
    if (const auto s = pressureTenths(systolic)) {
        out.tenths[0] = *s;
    }
    if (const auto d = pressureTenths(diastolic)) {
        out.tenths[1] = *d;
    }

    const auto glucose = glucoseClass(cells[Field::FastingGlucose]);
    set(R::ImpairedGlucose, glucose ? fromBool(*glucose == GlucoseClass::Impaired) : RuleReading::Undecided);
    set(R::DiabeticGlucose, glucose ? fromBool(*glucose == GlucoseClass::Diabetic) : RuleReading::Undecided);

    const auto bmi = bmiTenths(cells[Field::Height], cells[Field::Weight]);
    const std::pair<R, BmiClass> classes[] = {{R::Underweight, BmiClass::Underweight},
                                              {R::NormalWeight, BmiClass::Normal},
                                              {R::Overweight, BmiClass::Overweight},
                                              {R::Obese, BmiClass::Obese}};
    for (const auto& [id, bmiKind] : classes) {
        set(id, bmi ? fromBool(bmiClass(*bmi) == bmiKind) : RuleReading::Undecided);
    }
    if (bmi) {
        out.tenths[2] = *bmi;
    }

    set(R::Dyslipidaemia, anyOf({valueAtLeast(Field::TotalCholesterol, cells[Field::TotalCholesterol],
                                              HealthRules::kHighTotalCholesterol),
                                 valueAtLeast(Field::Triglycerides, cells[Field::Triglycerides],
                                              HealthRules::kHighTriglycerides),
                                 valueAtLeast(Field::Ldl, cells[Field::Ldl], HealthRules::kHighLdl),
                                 valueBelow(Field::Hdl, cells[Field::Hdl], HealthRules::kLowHdlBelow)}));
    set(R::Liver, anyOf({aboveRange(cells, Field::Alt), aboveRange(cells, Field::Ast),
                         aboveRange(cells, Field::TotalBilirubin)}));
    set(R::Kidney, anyOf({aboveRange(cells, Field::Creatinine), aboveRange(cells, Field::UreaNitrogen)}));
    const QByteArrayView haemoglobin = cells[Field::Haemoglobin];
    set(R::Anaemia, haemoglobin.isEmpty() ? RuleReading::Undecided
                                          : anaemia(haemoglobin, QString::fromUtf8(cells[Field::Sex])));
    set(R::UrineProtein, positiveUrine(cells[Field::UrineProtein]));
    set(R::UrineSugar, positiveUrine(cells[Field::UrineSugar]));
    set(R::Ecg, abnormalFinding(cells[Field::Ecg]));
    set(R::Ultrasound, abnormalFinding(cells[Field::Ultrasound]));
    set(R::ChestXray, abnormalFinding(cells[Field::ChestXray]));

    bool any = false;
    bool told = false;
    for (const R id : {R::Hypertension, R::ImpairedGlucose, R::DiabeticGlucose, R::Overweight, R::Obese,
                       R::Dyslipidaemia, R::Liver, R::Kidney, R::Anaemia, R::UrineProtein, R::UrineSugar,
                       R::Ecg, R::Ultrasound, R::ChestXray}) {
        any |= out.holds[size_t(id)];
        told |= out.decided[size_t(id)];
    }
    set(R::AnyAbnormal, any ? RuleReading::Holds : told ? RuleReading::Fails : RuleReading::Undecided);
    return out;
}

HealthCounts::HealthCounts() = default;

void HealthCounts::add(const HealthOutcomes& outcomes, const int* columns, int columnCount)
{
    for (int r = 0; r < kHealthRowCount; ++r) {
        const int slot = HealthOutcomes::meanSlot(HealthRowId(r));
        if (slot >= 0) {
            const qint32 value = outcomes.tenths[size_t(slot)];
            if (value != HealthOutcomes::kNoValue) {
                for (int c = 0; c < columnCount; ++c) {
                    m_numerator[size_t(r)][size_t(columns[c])] += value;
                    ++m_decided[size_t(r)][size_t(columns[c])];
                }
            }
        } else if (outcomes.decided[size_t(r)]) {
            const bool holds = outcomes.holds[size_t(r)];
            for (int c = 0; c < columnCount; ++c) {
                m_numerator[size_t(r)][size_t(columns[c])] += holds;
                ++m_decided[size_t(r)][size_t(columns[c])];
            }
        }
    }
}

qint64 HealthCounts::numerator(HealthRowId id, int column) const
{
    return m_numerator[size_t(id)][size_t(column)];
}

qint64 HealthCounts::decided(HealthRowId id, int column) const
{
    return m_decided[size_t(id)][size_t(column)];
}

} // namespace brenvoll
