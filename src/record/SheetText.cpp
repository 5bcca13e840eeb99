#include "SheetText.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>

namespace brenvoll {

QString sheetFontFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const QString& name :
             {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
              QStringLiteral("Noto Sans CJK SC")}) {
            if (installed.contains(name)) {
                return name;
            }
        }
        return QStringLiteral("Noto Serif CJK SC");
    }();
    return family;
}

QFont sheetFont(const FontDef& def)
{
    QFont font(sheetFontFamily());
    font.setPointSizeF(def.pointSize);
    font.setBold(def.bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

namespace {

// Calls `run(text, x)` for each stretch of non-blank text at its offset and
// returns the width of the whole text.
template <typename Run> qreal layoutSheetText(const QFontMetricsF& metrics, const QString& text, Run run)
{
    const qreal blank = metrics.horizontalAdvance(QStringLiteral("中")) / 2.0;
    qreal x = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype j = i;
        if (text[i] == u' ') {
            while (j < text.size() && text[j] == u' ') {
                ++j;
            }
            x += blank * qreal(j - i);
        } else {
            while (j < text.size() && text[j] != u' ') {
                ++j;
            }
            const QString part = text.mid(i, j - i);
            run(part, x);
            x += metrics.horizontalAdvance(part);
        }
        i = j;
    }
    return x;
}

} // namespace

void drawSheetText(QPainter& painter, const QPointF& topLeft, const QString& text)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal baseline = topLeft.y() + metrics.ascent();
    layoutSheetText(metrics, text, [&](const QString& part, qreal x) {
        painter.drawText(QPointF(topLeft.x() + x, baseline), part);
    });
}

qreal sheetTextWidth(const QFontMetricsF& metrics, const QString& text)
{
    return layoutSheetText(metrics, text, [](const QString&, qreal) {});
}

} // namespace brenvoll
