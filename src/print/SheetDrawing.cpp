#include "SheetDrawing.h"

#include "record/SheetText.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

namespace brenvoll {

namespace {

bool isDrawn(const SheetText& element)
{
    return element.visible && !element.text.isEmpty();
}

SheetText designedText(const TwipsRect& rect, const FontDef& font, const QString& text, bool visible)
{
    return SheetText{QPointF(rect.left, rect.top), font, text, visible};
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

} // namespace

SheetSnapshot designedSheet(const ExamRecord& record, const QString& title)
{
    SheetSnapshot sheet;
    const FontDef textFont{sheetFontFamily(), FieldMap::textFont().pointSize, FieldMap::textFont().bold};
    const FontDef titleFont{sheetFontFamily(), FieldMap::titleFont().pointSize, FieldMap::titleFont().bold};
    sheet.title =
        SheetText{QPointF(centredTitleLeft(title), FieldMap::titleRect().top), titleFont, title, true};
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

void drawSheet(QPainter& painter, const SheetSnapshot& sheet, double leftMarginTwips, double topMarginTwips)
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
    };
    write(sheet.title);
    for (const auto* set : {&sheet.captions, &sheet.identifying, &sheet.findings}) {
        for (const SheetText& element : *set) {
            write(element);
        }
    }

    QPen rule(Qt::black, 0, Qt::SolidLine); // width 0: the device's thinnest line
    rule.setCosmetic(true);
    painter.setPen(rule);
    for (const SheetRule& line : sheet.lines) {
        if (line.visible) {
            painter.drawLine(at(line.from), at(line.to));
        }
    }
    painter.restore();
}

QStringList drawnTexts(const SheetSnapshot& sheet)
{
    QStringList texts;
    if (isDrawn(sheet.title)) {
        texts << sheet.title.text;
    }
    for (const auto* set : {&sheet.captions, &sheet.identifying, &sheet.findings}) {
        for (const SheetText& element : *set) {
            if (isDrawn(element)) {
                texts << element.text;
            }
        }
    }
    return texts;
}

} // namespace brenvoll
