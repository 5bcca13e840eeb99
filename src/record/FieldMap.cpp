#include "FieldMap.h"

#include <QRegularExpression>
#include <QStringList>

namespace brenvoll {

namespace {

QList<BoxDef> makeBoxes()
{
    QList<BoxDef> boxes;
    const auto& names = identifyingColumns();
    const TwipsRect identifyingRects[FieldMap::kIdentifyingCount] = {
        {2040, 1740, 1215, 315}, {4260, 1740, 555, 315},  {5880, 1740, 435, 315},
        {8100, 1740, 2775, 315}, {4260, 2280, 3495, 315}, {120, 60, 2235, 315},
    };
    // In Field order.
    static const char16_t* const operatorNames[FieldMap::kIdentifyingCount + FieldMap::kFindingCount] = {
        u"姓名",         u"性别",         u"年龄",     u"体检日期",   u"地址",       u"序列号",
        u"编号",         u"电话",         u"既往史",   u"身高",       u"体重",       u"收缩压",
        u"呼吸系统",     u"神经系统",     u"心脏",     u"腹部器官",   u"内科其他",   u"颈部",
        u"脊柱",         u"皮肤淋巴结",   u"四肢关节", u"外科其他",   u"口腔",       u"耳鼻喉科",
        u"听力",         u"耳鼻喉科其他", u"白细胞",   u"血红蛋白",   u"血小板",     u"尿蛋白",
        u"尿糖",         u"尿隐血",       u"尿酮体",   u"谷丙转氨酶", u"谷草转氨酶", u"总胆红素",
        u"表面抗体",     u"尿素氮",       u"肌酐",     u"空腹血糖",   u"甘油三脂",   u"总胆固醇",
        u"高密度脂蛋白", u"低密度脂蛋白", u"心电图",   u"B超",        u"胸部X线",    u"体检结论",
        u"健康指导",     u"签字日期",     u"舒张压",   u"主检医生",
    };
    for (int i = 0; i < FieldMap::kIdentifyingCount; ++i) {
        boxes.append({fieldOf(BoxSet::Identifying, i), BoxSet::Identifying, i, names[i], identifyingRects[i],
                      i != boxIndexOf(Field::Key), QString::fromUtf16(operatorNames[i])});
    }
    const TwipsRect findingRects[FieldMap::kFindingCount] = {
        {2040, 2280, 1215, 315},  {8820, 2280, 2055, 315},  {2040, 2820, 8955, 315},  // 0-2
        {3420, 3360, 495, 315},   {5400, 3360, 675, 315},   {8100, 3360, 435, 315},   // 3-5
        {3420, 3900, 3135, 315},  {8100, 3900, 2835, 315},  {3420, 4440, 3135, 315},  // 6-8
        {8100, 4440, 2835, 315},  {3420, 4980, 7515, 315},  {3420, 5520, 3195, 315},  // 9-11
        {8040, 5520, 2835, 315},  {3420, 6060, 3195, 315},  {8040, 6060, 2835, 315},  // 12-14
        {3420, 6600, 7515, 315},  {3420, 7140, 3075, 315},  {8040, 7140, 2895, 315},  // 15-17
        {3420, 7680, 3135, 315},  {8040, 7680, 2895, 315},  {3000, 8220, 615, 315},   // 18-20
        {8400, 8220, 555, 315},   {2940, 8640, 675, 255},   {3000, 9120, 795, 315},   // 21-23
        {5100, 9120, 735, 315},   {7440, 9120, 735, 315},   {9600, 9120, 975, 315},   // 24-26
        {3420, 9660, 555, 315},   {8820, 9660, 675, 315},   {3240, 10080, 555, 255},  // 27-29
        {8700, 10080, 1215, 255}, {3000, 10560, 615, 315},  {8100, 10560, 615, 315},  // 30-32
        {3180, 11100, 675, 315},  {3180, 11580, 615, 315},  {7980, 11580, 615, 315},  // 33-35
        {3720, 12000, 675, 315},  {8460, 12000, 615, 315},  {2040, 12540, 8835, 315}, // 36-38
        {2040, 13080, 8835, 315}, {2040, 13620, 8895, 315}, {2040, 14160, 8835, 315}, // 39-41
        {2040, 14760, 8895, 315}, {9720, 15660, 1215, 315}, {8760, 3360, 375, 315},   // 42-44
        {9720, 15240, 1215, 315},                                                     // 45
    };
    for (int i = 0; i < FieldMap::kFindingCount; ++i) {
        boxes.append({fieldOf(BoxSet::Finding, i), BoxSet::Finding, i, QString::number(i), findingRects[i],
                      i != boxIndexOf(Field::SignatureDate),
                      QString::fromUtf16(operatorNames[FieldMap::kIdentifyingCount + i])});
    }
    return boxes;
}

QList<CaptionDef> makeCaptions()
{
    struct Row
    {
        const char16_t* text;
        TwipsRect rect;
    };
    static const Row rows[FieldMap::kCaptionCount] = {
        {u"姓名", {840, 1740, 480, 240}},                                      // 0
        {u"既往史", {840, 2820, 720, 240}},                                    // 1
        {u"编号", {840, 2280, 480, 240}},                                      // 2
        {u"身高", {2100, 3360, 480, 240}},                                     // 3
        {u"性别", {3420, 1740, 480, 240}},                                     // 4
        {u"年龄", {5160, 1740, 480, 240}},                                     // 5
        {u"体重", {4620, 3360, 480, 240}},                                     // 6
        {u"cm", {4020, 3360, 240, 240}},                                       // 7
        {u"kg", {6180, 3360, 240, 240}},                                       // 8
        {u"地址", {3420, 2280, 480, 240}},                                     // 9
        {u"/", {8580, 3360, 120, 240}},                                        // 10
        {u"体检日期", {6840, 1740, 960, 240}},                                 // 11
        {u"电话", {8040, 2280, 480, 240}},                                     // 12
        {u"基本情况", {840, 3360, 960, 240}},                                  // 13
        {u"血压", {6840, 3360, 480, 240}},                                     // 14
        {u"mmHg", {9300, 3360, 480, 240}},                                     // 15
        {u"呼吸系统", {2100, 3900, 960, 240}},                                 // 16
        {u"神经系统", {6780, 3900, 960, 240}},                                 // 17
        {u"心脏", {2100, 4440, 480, 240}},                                     // 18
        {u"腹部器官", {6840, 4440, 960, 240}},                                 // 19
        {u"其他", {2100, 4980, 480, 240}},                                     // 20
        {u"内科", {840, 4380, 480, 240}},                                      // 21
        {u"外科", {840, 6060, 480, 240}},                                      // 22
        {u"颈部", {2100, 5520, 480, 240}},                                     // 23
        {u"脊柱", {6840, 5520, 480, 240}},                                     // 24
        {u"皮肤淋巴结", {1980, 6060, 1200, 240}},                              // 25
        {u"四肢关节", {6780, 6060, 960, 240}},                                 // 26
        {u"其他", {2100, 6600, 480, 240}},                                     // 27
        {u"耳鼻喉科", {840, 7380, 960, 240}},                                  // 28
        {u"口腔", {2100, 7140, 480, 240}},                                     // 29
        {u"其他", {6840, 7680, 480, 240}},                                     // 30
        {u"耳鼻喉科", {6780, 7140, 960, 240}},                                 // 31
        {u"听力", {2100, 7680, 480, 240}},                                     // 32
        {u"血常规", {840, 8400, 720, 240}},                                    // 33
        {u"主检医生签字：", {8100, 15240, 1680, 240}},                         // 34
        {u"健康指导", {840, 14760, 960, 240}},                                 // 35
        {u"体检结论", {840, 14160, 960, 240}},                                 // 36
        {u"日期：", {9060, 15660, 720, 240}},                                  // 37
        {u"B超", {900, 13080, 360, 240}},                                      // 38
        {u"心电图", {840, 12540, 720, 240}},                                   // 39
        {u"血糖", {840, 11100, 480, 240}},                                     // 40
        {u"胸部X线", {840, 13620, 840, 240}},                                  // 41
        {u"尿常规", {840, 9120, 720, 240}},                                    // 42
        {u"肝功能", {840, 9840, 720, 240}},                                    // 43
        {u"肾功能", {840, 10560, 720, 240}},                                   // 44
        {u"血脂", {840, 11820, 480, 240}},                                     // 45
        {u"尿素氮：      mmol/L(3.2-7.1)  ", {2040, 10560, 3720, 240}},        // 46
        {u"空腹血糖:       mmol/L(3.8-6.1)", {2040, 11100, 3720, 240}},        // 47
        {u"高密度脂蛋白：      mmol/L（1.04-1.8）", {2040, 12000, 4560, 240}}, // 48
        {u"肌酐：      µmol/L(53-106)", {7440, 10560, 3120, 240}},             // 49
        {u"表面抗体：", {7440, 10080, 1200, 240}},                             // 50
        {u"血红蛋白：      g/L(110-160)", {7200, 8220, 3360, 240}},            // 51
        {u"总胆固醇：      mmol/L(2.0-5.7)", {6840, 11580, 3720, 240}},        // 52
        {u"甘油三脂：      mmol/L(0-1.8)", {2040, 11580, 3480, 240}},          // 53
        {u"尿酮体：", {8640, 9120, 960, 240}},                                 // 54
        {u"低密度脂蛋白：      mmol/L(0-3.61)", {6840, 12000, 4080, 240}},     // 55
        {u"白细胞：      ×10^/L(4.0-10.0)", {2040, 8220, 3720, 240}},          // 56
        {u"血小板：      ×10^/L(100-300)", {2040, 8640, 3600, 240}},           // 57
        {u"总胆红素：      µmol/L(1.7-17.1)", {2040, 10080, 3480, 240}},       // 58
        {u"尿隐血：", {6420, 9120, 960, 240}},                                 // 59
        {u"尿糖：", {4380, 9120, 720, 240}},                                   // 60
        {u"谷草转氨酶：      U/L(0-40)", {7440, 9660, 3240, 240}},             // 61
        {u"谷丙转氨酶：      U/L(0-40)", {2040, 9660, 3240, 240}},             // 62
        {u"尿蛋白：", {2040, 9120, 960, 240}},                                 // 63
        {u"岁", {6420, 1740, 240, 240}},                                       // 64
        {u"（体检单位盖章）", {4440, 15240, 1920, 240}},                       // 65
    };
    QList<CaptionDef> captions;
    for (int i = 0; i < FieldMap::kCaptionCount; ++i) {
        captions.append({i, QString::fromUtf16(rows[i].text), rows[i].rect, i != 37});
    }
    return captions;
}

QList<LineDef> makeLines()
{
    QList<LineDef> lines(FieldMap::kLineCount);
    auto h = [&](int i, int y, int x1, int x2) { lines[i] = {i, x1, y, x2, y, i != 26}; };
    auto v = [&](int i, int x, int y1, int y2) { lines[i] = {i, x, y1, x, y2, true}; };
    h(0, 1560, 720, 11040);
    h(3, 2100, 720, 11040);
    h(4, 2640, 720, 11040);
    h(5, 3180, 720, 11040);
    h(6, 3720, 720, 11040);
    h(7, 4260, 1920, 11040);
    h(8, 4800, 1920, 11040);
    h(9, 5340, 720, 11040);
    h(10, 5880, 1920, 11040);
    h(11, 6420, 1920, 11040);
    h(12, 6960, 720, 11040);
    h(13, 7500, 1920, 11040);
    h(14, 8040, 720, 11040);
    h(15, 8940, 720, 11040);
    h(16, 9480, 720, 11040);
    h(17, 10380, 720, 11040);
    h(18, 10920, 720, 11040);
    h(19, 11460, 720, 11040);
    h(20, 12360, 720, 11040);
    h(21, 12900, 720, 11040);
    h(22, 13440, 720, 11040);
    h(23, 13980, 720, 11040);
    h(24, 14520, 720, 11040);
    h(25, 15120, 720, 11040);
    h(26, 16080, 720, 11040);
    v(1, 720, 1560, 15120);
    v(2, 11040, 1560, 15120);
    v(27, 1920, 1560, 15120);
    v(35, 3300, 1560, 2640);
    v(36, 4080, 1560, 2640);
    v(37, 4980, 1560, 2100);
    v(38, 5760, 1560, 2100);
    v(39, 6720, 1560, 2100);
    v(40, 7920, 1560, 2100);
    v(43, 7920, 2100, 2640);
    v(44, 8700, 2100, 2640);
    v(28, 3300, 3180, 8040);
    v(41, 4380, 3180, 3720);
    v(42, 5340, 3180, 3720);
    v(29, 6660, 3180, 4800);
    v(30, 7920, 3180, 4800);
    v(31, 6660, 5340, 6420);
    v(32, 7920, 5340, 6420);
    v(33, 6660, 6960, 8040);
    v(34, 7920, 6960, 8040);
    return lines;
}

// A laboratory caption's value box lies over the run of blanks between its
// name and its unit: the caption is the one on the box's row that spans the
// box's left edge.
std::optional<ReferenceRange> rangeBeneath(const BoxDef& box)
{
    for (const CaptionDef& caption : FieldMap::captions()) {
        const TwipsRect& r = caption.rect;
        if (r.top == box.rect.top && r.left < box.rect.left && box.rect.left < r.left + r.width) {
            return parseReferenceRange(caption.text);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<ReferenceRange> parseReferenceRange(const QString& caption)
{
    static const QRegularExpression form(
        QStringLiteral("^([^：:]+)[：:] *([^ (（]*) *[(（] *(\\d+(?:\\.\\d+)?) *- *"
                       "(\\d+(?:\\.\\d+)?) *[)）] *$"));
    const auto match = form.match(caption);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    ReferenceRange range{match.captured(3).toDouble(), match.captured(4).toDouble(), match.captured(2),
                         match.captured(3) + u'-' + match.captured(4), match.captured(1).trimmed()};
    if (range.low > range.high) {
        return std::nullopt;
    }
    return range;
}

QString BoxDef::objectName() const
{
    return (set == BoxSet::Identifying ? QStringLiteral("Text5_") : QStringLiteral("Text6_")) +
           QString::number(index);
}

const std::array<QString, FieldMap::kIdentifyingCount>& identifyingColumns()
{
    static const std::array<QString, FieldMap::kIdentifyingCount> names = {
        QStringLiteral("姓名"), QStringLiteral("性别"), QStringLiteral("年龄"),
        QStringLiteral("日期"), QStringLiteral("地址"), QStringLiteral("序列号"),
    };
    return names;
}

QString ExamRecord::column(const QString& name) const
{
    const auto& names = identifyingColumns();
    for (int i = 0; i < FieldMap::kIdentifyingCount; ++i) {
        if (names[i] == name) {
            return identifying[i];
        }
    }
    bool ok = false;
    const int i = name.toInt(&ok);
    return ok && i >= 0 && i < FieldMap::kFindingCount ? findings[i] : QString();
}

namespace FieldMap {

const QList<BoxDef>& boxes()
{
    static const QList<BoxDef> all = makeBoxes();
    return all;
}

const BoxDef& box(BoxSet set, int index)
{
    return boxes()[int(fieldOf(set, index))];
}

const BoxDef& box(Field field)
{
    return boxes()[int(field)];
}

const QList<CaptionDef>& captions()
{
    static const QList<CaptionDef> all = makeCaptions();
    return all;
}

const QList<LineDef>& lines()
{
    static const QList<LineDef> all = makeLines();
    return all;
}

TwipsRect titleRect()
{
    return {2640, 900, 6300, 435};
}

QString titleDesignText()
{
    return QStringLiteral("Qindle卫生院健康体检反馈表");
}

FontDef titleFont()
{
    return {QStringLiteral("宋体"), 21.75, true};
}

FontDef textFont()
{
    return {QStringLiteral("宋体"), 12.0, false};
}

QList<const BoxDef*> tabOrder()
{
    QList<const BoxDef*> order;
    for (Field f : {Field::Name, Field::Sex, Field::Age, Field::ExamDate, Field::Number, Field::Address}) {
        order << &box(f);
    }
    for (int f = int(Field::Telephone); f <= int(Field::SystolicPressure); ++f) {
        order << &box(Field(f));
    }
    order << &box(Field::DiastolicPressure);
    for (int f = int(Field::Respiratory); f <= int(Field::Guidance); ++f) {
        order << &box(Field(f));
    }
    order << &box(Field::Doctor);
    return order;
}

const std::optional<ReferenceRange>& referenceRange(Field field)
{
    static const QList<std::optional<ReferenceRange>> ranges = [] {
        QList<std::optional<ReferenceRange>> all;
        for (const BoxDef& def : boxes()) {
            all.append(def.set == BoxSet::Finding ? rangeBeneath(def) : std::nullopt);
        }
        return all;
    }();
    return ranges[int(field)];
}

const QString& quotedColumns()
{
    static const QString list = [] {
        QStringList columns;
        for (const BoxDef& def : boxes()) {
            columns << quotedColumn(def.column);
        }
        return columns.join(u',');
    }();
    return list;
}

QString quotedColumn(const QString& column)
{
    return u'"' + column + u'"';
}

QString operatorNameList(const QList<Field>& fields, int most)
{
    QStringList names;
    for (qsizetype i = 0; i < fields.size() && i < most; ++i) {
        names << box(fields[i]).operatorName;
    }
    QString text = names.join(u'、');
    if (fields.size() > most) {
        text += QStringLiteral(" 等 %1 项").arg(fields.size());
    }
    return text;
}

} // namespace FieldMap

} // namespace brenvoll
