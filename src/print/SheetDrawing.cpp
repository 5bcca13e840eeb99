#include "SheetDrawing.h"

#include "record/SheetText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QtMath>

namespace brenvoll {

namespace {

// The message before printing names this many boxes, then counts the rest:
// a line the operator reads at a glance.
constexpr int kNamedBoxesAtMost = 8;

bool isDrawn(const SheetText& element)
{
    return element.visible && !element.text.isEmpty();
}

SheetText designedText(const TwipsRect& rect, const FontDef& font, const QString& text, bool visible)
{
    return SheetText{QPointF(rect.left, rect.top), font, text, visible, QSizeF(rect.width, rect.height)};
}

// The title's left edge when it is centred across the sheet. A font sized in
// pixels of one twip measures the width in twips on any screen.
double centredTitleLeft(const QString& title)
{
    QFont font = sheetElementFont(FieldMap::titleFont());
    font.setPixelSize(qRound(FieldMap::titleFont().pointSize * 20));
    const QFontMetricsF metrics(font);
    return (FieldMap::kSheetWidth - sheetTextWidth(metrics, title)) / 2.0;
}

// The height an element takes on its row (twips).
qreal rowHeight(const SheetText& element)
{
    return element.size.height() > 0 ? element.size.height() : element.font.pointSize * 20;
}

bool onRow(qreal top, qreal bottom, qreal from, qreal to)
{
    return from < bottom && top < to;
}

// The right edge (twips) up to which the text of `box` may run: the nearest
// thing to the right of the box on its row, the text of a caption, another
// box or a ruling line, or else the sheet's right edge. What the box itself
// lies over, such as the blanks of a laboratory caption, is not in its way.
qreal roomRight(const SheetSnapshot& sheet, const SheetText& box)
{
    const qreal top = box.topLeft.y();
    const qreal bottom = top + rowHeight(box);
    const qreal boxRight = box.topLeft.x() + box.size.width();
    qreal right = FieldMap::kSheetWidth;
    auto inTheWay = [&](qreal x) {
        if (x >= boxRight) {
            right = qMin(right, x);
        }
    };
    for (const SheetText& caption : sheet.captions) {
        if (caption.visible && !caption.text.isEmpty() &&
            onRow(top, bottom, caption.topLeft.y(), caption.topLeft.y() + rowHeight(caption))) {
            const QFont font = sheetElementFont(caption.font);
            const QFontMetricsF metrics(fontInTwips(font, fontTwips(font)));
            for (const auto& [from, to] : sheetTextStretches(metrics, caption.text)) {
                inTheWay(caption.topLeft.x() + from);
            }
        }
    }
    for (const auto* set : {&sheet.identifying, &sheet.findings}) {
        for (const SheetText& other : *set) {
            if (&other != &box && other.visible &&
                onRow(top, bottom, other.topLeft.y(), other.topLeft.y() + rowHeight(other))) {
                inTheWay(other.topLeft.x());
            }
        }
    }
    for (const SheetRule& line : sheet.lines) {
        if (line.visible && line.from.x() == line.to.x() &&
            onRow(top, bottom, qMin(line.from.y(), line.to.y()), qMax(line.from.y(), line.to.y()))) {
            inTheWay(line.from.x());
        }
    }
    return right;
}

// How the text of a box is drawn: as designed where it fits its room. Most
// texts fit their own box, which needs no look along the row. A text made
// to fit keeps a quarter of its own size clear of what ends its room, as a
// ruling line has no margin of its own.
FittedText layoutBoxText(const SheetSnapshot& sheet, const SheetText& box)
{
    if (!box.visible || box.text.isEmpty() || box.size.isEmpty()) {
        return {};
    }
    const QFont font = sheetElementFont(box.font);
    const qreal width = sheetTextTwips(font, box.text);
    if (width <= box.size.width()) {
        return {};
    }
    const qreal room = roomRight(sheet, box) - box.topLeft.x();
    if (width <= room) {
        return {};
    }
    const qreal clear = fontTwips(font) / 4.0;
    return fitSheetText(font, box.text, qMax(box.size.width(), room - clear), box.size.height());
}

void addTo(SheetFit& fit, Field box, const FittedText& fitted)
{
    if (fitted.fit != FittedText::Fit::AsDesigned) {
        ++fit.fitted;
        fit.cut += fitted.fit == FittedText::Fit::Cut ? 1 : 0;
        if (!fit.boxes.contains(box)) {
            fit.boxes.append(box);
        }
    }
}

// A sheet's boxes in drawing order, each with its role.
template <class Visit> void forEachBox(const SheetSnapshot& sheet, Visit visit)
{
    for (const BoxSet set : {BoxSet::Identifying, BoxSet::Finding}) {
        const QList<SheetText>& boxes = set == BoxSet::Identifying ? sheet.identifying : sheet.findings;
        for (qsizetype i = 0; i < boxes.size(); ++i) {
            visit(fieldOf(set, int(i)), boxes[i]);
        }
    }
}

} // namespace

SheetSnapshot designedSheet(const ExamRecord& record, const QString& title)
{
    SheetSnapshot sheet;
    const FontDef textFont{sheetFontFamily(), FieldMap::textFont().pointSize, FieldMap::textFont().bold};
    const FontDef titleFont{sheetFontFamily(), FieldMap::titleFont().pointSize, FieldMap::titleFont().bold};
    const TwipsRect titleRect = FieldMap::titleRect();
    sheet.title = SheetText{QPointF(centredTitleLeft(title), titleRect.top), titleFont, title, true,
                            QSizeF(titleRect.width, titleRect.height)};
    for (const CaptionDef& def : FieldMap::captions()) {
        sheet.captions.append(designedText(def.rect, textFont, def.text, def.visible));
    }
    for (const BoxDef& def : FieldMap::boxes()) {
        auto& set = def.set == BoxSet::Identifying ? sheet.identifying : sheet.findings;
        set.append(designedText(def.rect, textFont, record[def.field], def.visible));
    }
    for (const LineDef& def : FieldMap::lines()) {
        sheet.lines.append(SheetRule{QPointF(def.x1, def.y1), QPointF(def.x2, def.y2), def.visible});
    }
    return sheet;
}

SheetSnapshot withRecord(SheetSnapshot sheet, const ExamRecord& record)
{
    for (const BoxDef& def : FieldMap::boxes()) {
        auto& set = def.set == BoxSet::Identifying ? sheet.identifying : sheet.findings;
        if (def.index < set.size()) {
            set[def.index].text = record[def.field];
        }
    }
    return sheet;
}

QFont sheetElementFont(const FontDef& def)
{
    QFont font = sheetFont(def);
    if (!def.family.isEmpty()) {
        font.setFamily(def.family);
    }
    // Each character in the font's own glyph for it. Shaped text takes the
    // language of the process's locale into account: outside a Chinese one
    // the sheet's CJK font puts alternate glyphs in place of the digits that
    // follow a Latin letter ("U/L(0-40)", "×10^/L"), glyphs that no
    // character maps to, so that a PDF reader finds no digits there.
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    return font;
}

SheetFit& SheetFit::operator+=(const SheetFit& other)
{
    fitted += other.fitted;
    cut += other.cut;
    for (const Field box : other.boxes) {
        if (!boxes.contains(box)) {
            boxes.append(box);
        }
    }
    return *this;
}

SheetFit sheetFit(const SheetSnapshot& sheet)
{
    SheetFit fit;
    forEachBox(sheet,
               [&](Field field, const SheetText& box) { addTo(fit, field, layoutBoxText(sheet, box)); });
    return fit;
}

QString fittedTextsMessage(const SheetFit& fit)
{
    if (fit.fitted == 0) {
        return {};
    }
    // A batch names each box once, however many of its sheets it was fitted on.
    const QString boxes = FieldMap::operatorNameList(fit.boxes, kNamedBoxesAtMost);
    return (fit.cut > 0 ? QStringLiteral("有 %1 个方框的文字太长，已截断：%2。")
                        : QStringLiteral("有 %1 个方框的文字太长，已缩小打印：%2。"))
        .arg(fit.fitted)
        .arg(boxes);
}

SheetFit drawSheet(QPainter& painter, const SheetSnapshot& sheet, double leftMarginTwips,
                   double topMarginTwips, QStringList* drawn)
{
    const QPaintDevice* device = painter.device();
    const double sx = device->logicalDpiX() / 1440.0;
    const double sy = device->logicalDpiY() / 1440.0;
    auto at = [sx, sy](const QPointF& twips) { return QPointF(twips.x() * sx, twips.y() * sy); };

    painter.save();
    painter.translate(at(QPointF(leftMarginTwips, topMarginTwips)));
    painter.setPen(QPen(Qt::black));

    // Fonts are given in points, which the device resolves at its own
    // resolution; only positions are scaled.
    auto write = [&](const SheetText& element) {
        if (!isDrawn(element)) {
            return;
        }
        painter.setFont(sheetElementFont(element.font));
        drawSheetText(painter, at(element.topLeft), element.text);
        if (drawn) {
            drawn->append(element.text);
        }
    };
    write(sheet.title);
    for (const SheetText& caption : sheet.captions) {
        write(caption);
    }
    SheetFit fit;
    forEachBox(sheet, [&](Field field, const SheetText& box) {
        const FittedText fitted = layoutBoxText(sheet, box);
        addTo(fit, field, fitted);
        if (fitted.fit == FittedText::Fit::AsDesigned) {
            write(box);
            return;
        }
        // In whole pixels of the device, rounded down: a size rounded up
        // would draw the text past the end of its room.
        QFont font = sheetElementFont(box.font);
        font.setPixelSize(qMax(1, qFloor(fitted.size * sy)));
        painter.setFont(font);
        for (qsizetype i = 0; i < fitted.lines.size(); ++i) {
            drawSheetTextOnBaseline(painter, at(box.topLeft + QPointF(0, fitted.baselines[i])),
                                    fitted.lines[i]);
        }
        if (drawn) {
            drawn->append(fitted.lines);
        }
    });

    QPen rule(Qt::black, 0, Qt::SolidLine); // width 0: the device's thinnest line
    rule.setCosmetic(true);
    painter.setPen(rule);
    for (const SheetRule& line : sheet.lines) {
        if (line.visible) {
            painter.drawLine(at(line.from), at(line.to));
        }
    }
    painter.restore();
    return fit;
}

QStringList drawnTexts(const SheetSnapshot& sheet)
{
    QStringList texts;
    if (isDrawn(sheet.title)) {
        texts << sheet.title.text;
    }
    for (const SheetText& caption : sheet.captions) {
        if (isDrawn(caption)) {
            texts << caption.text;
        }
    }
    // A box's text as drawSheet() draws it: fitted into its room line by line.
    for (const auto* set : {&sheet.identifying, &sheet.findings}) {
        for (const SheetText& box : *set) {
            const FittedText fitted = layoutBoxText(sheet, box);
            if (fitted.fit != FittedText::Fit::AsDesigned) {
                texts << fitted.lines;
            } else if (isDrawn(box)) {
                texts << box.text;
            }
        }
    }
    return texts;
}

} // namespace brenvoll
