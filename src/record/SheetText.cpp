#include "SheetText.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QtMath>

#include <algorithm>

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
    drawSheetTextOnBaseline(painter, QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
}

void drawSheetTextOnBaseline(QPainter& painter, const QPointF& baselineLeft, const QString& text)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    layoutSheetText(metrics, text, [&](const QString& part, qreal x) {
        painter.drawText(QPointF(baselineLeft.x() + x, baselineLeft.y()), part);
    });
}

qreal sheetTextWidth(const QFontMetricsF& metrics, const QString& text)
{
    return layoutSheetText(metrics, text, [](const QString&, qreal) {});
}

QList<std::pair<qreal, qreal>> sheetTextStretches(const QFontMetricsF& metrics, const QString& text)
{
    QList<std::pair<qreal, qreal>> stretches;
    layoutSheetText(metrics, text, [&](const QString& part, qreal x) {
        stretches.append({x, x + metrics.horizontalAdvance(part)});
    });
    return stretches;
}

QFont fontInTwips(const QFont& font, int twips)
{
    QFont sized = font;
    sized.setPixelSize(qMax(1, twips));
    return sized;
}

int fontTwips(const QFont& font)
{
    return font.pointSizeF() > 0 ? qRound(font.pointSizeF() * 20) : 0;
}

namespace {

QString withoutTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ') {
        --end;
    }
    return text.left(end);
}

const QString kEllipsis = QStringLiteral("…");

// Breaks `text` into lines no wider than `width`, between characters as the
// reader sees them (a line holds one at least), leaving out the blanks at a
// break. Each line as its start and end in `text`.
class LineBreaker
{
public:
    LineBreaker(const QFontMetricsF& metrics, const QString& text, qreal width)
        : m_metrics(metrics), m_text(text), m_width(width)
    {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        for (qsizetype at = 0; at >= 0; at = finder.toNextBoundary()) {
            m_ends.append(at);
        }
    }

    QList<std::pair<qsizetype, qsizetype>> lines() const
    {
        QList<std::pair<qsizetype, qsizetype>> lines;
        qsizetype start = 0;
        while (start < m_text.size()) {
            if (!lines.isEmpty()) {
                while (start < m_text.size() && m_text[start] == u' ') {
                    ++start;
                }
                if (start == m_text.size()) {
                    break;
                }
            }
            const qsizetype end = longestFit(start, QString());
            lines.append({start, end});
            start = end;
        }
        return lines;
    }

    // The text from `start` on, as much of it as fits with "…" after it.
    QString cutFrom(qsizetype start) const
    {
        const qsizetype end = longestFit(start, kEllipsis);
        if (m_text.size() == end) {
            return m_text.mid(start);
        }
        const QString kept = withoutTrailingBlanks(m_text.mid(start, end - start));
        return sheetTextWidth(m_metrics, kept + kEllipsis) <= m_width ? kept + kEllipsis : kEllipsis;
    }

private:
    // The furthest character end after `start` at which the text from
    // `start`, followed by `tail`, still fits the width; the end of the first
    // character at least.
    qsizetype longestFit(qsizetype start, const QString& tail) const
    {
        const auto first = std::upper_bound(m_ends.cbegin(), m_ends.cend(), start);
        if (first == m_ends.cend()) {
            return m_text.size();
        }
        auto fits = [&](qsizetype end) {
            return sheetTextWidth(m_metrics, withoutTrailingBlanks(m_text.mid(start, end - start)) + tail) <=
                   m_width;
        };
        // Widths grow with the text: the last end that fits, by halving.
        auto low = first;
        auto high = m_ends.cend();
        while (high - low > 1) {
            const auto middle = low + (high - low) / 2;
            if (fits(*middle)) {
                low = middle;
            } else {
                high = middle;
            }
        }
        return *low;
    }

    const QFontMetricsF& m_metrics;
    const QString& m_text;
    const qreal m_width;
    QList<qsizetype> m_ends;
};

} // namespace

qreal sheetTextTwips(const QFont& font, const QString& text)
{
    return sheetTextWidth(QFontMetricsF(fontInTwips(font, fontTwips(font))), withoutTrailingBlanks(text));
}

FittedText fitSheetText(const QFont& font, const QString& text, qreal width, qreal height)
{
    FittedText fitted;
    const int ownSize = fontTwips(font);
    const QString shown = withoutTrailingBlanks(text);
    if (ownSize <= 0 || shown.isEmpty() || width <= 0) {
        return fitted;
    }
    const QFontMetricsF own(fontInTwips(font, ownSize));
    const qreal ownWidth = sheetTextWidth(own, shown);
    if (ownWidth <= width) {
        return fitted;
    }
    const qreal ownBaseline = own.ascent();

    // One line in a smaller size: widths follow the size, so the first guess
    // fits but for the rounding of the font's metrics.
    const int smallest = qCeil(ownSize * kSmallestTextScale);
    for (int size = qMin(ownSize - 1, qFloor(ownSize * width / ownWidth)); size >= smallest; --size) {
        if (sheetTextWidth(QFontMetricsF(fontInTwips(font, size)), shown) <= width) {
            fitted.fit = FittedText::Fit::Smaller;
            fitted.size = size;
            fitted.lines = {shown};
            fitted.baselines = {ownBaseline};
            return fitted;
        }
    }

    // Lines at the smallest size, as many as the height holds.
    const QFontMetricsF metrics(fontInTwips(font, smallest));
    const qreal pitch = smallest * kWrappedLinePitch;
    const int room = 1 + qMax(0, qFloor((height - smallest) / pitch));
    const LineBreaker breaker(metrics, shown, width);
    const auto lines = breaker.lines();
    fitted.fit = lines.size() > room ? FittedText::Fit::Cut : FittedText::Fit::Smaller;
    fitted.size = smallest;
    const qsizetype count = qMin<qsizetype>(lines.size(), room);
    for (qsizetype i = 0; i < count; ++i) {
        const auto [start, end] = lines[i];
        const bool last = i == count - 1 && fitted.fit == FittedText::Fit::Cut;
        fitted.lines.append(last ? breaker.cutFrom(start) : shown.mid(start, end - start));
    }
    if (count == 1) {
        fitted.baselines = {ownBaseline};
        return fitted;
    }
    // The lines stand as close to the text's own baseline as the room lets
    // them, the last on it where there is space above.
    const qreal ascent = smallest * metrics.ascent() / (metrics.ascent() + metrics.descent());
    const qreal block = smallest + pitch * qreal(count - 1);
    const qreal top = qBound(0.0, ownBaseline - ascent - pitch * qreal(count - 1), qMax(0.0, height - block));
    for (qsizetype i = 0; i < count; ++i) {
        fitted.baselines.append(top + ascent + pitch * qreal(i));
    }
    return fitted;
}

} // namespace brenvoll
