#include "SheetView.h"

#include "record/SheetText.h"
#include "record/ValueFlags.h"
#include "ui/Twips.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QTextDocument>
#include <QtMath>

#include <limits>

namespace brenvoll {

namespace {

const QColor kBoxText(0, 0, 255);
const QColor kFlaggedText(Qt::red);
// A value in a box of numbers that cannot be checked against its range.
const QColor kUncheckedText(Qt::darkGray);

// One ruling line of the sheet (Line1): a thin solid stroke.
class SheetLine : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::WindowText));
    }
};

// A caption of the sheet (Label4): drawn as it is printed, never clipped.
class SheetLabel : public QLabel
{
public:
    using QLabel::QLabel;
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font(), this);
        return QSize(qCeil(sheetTextWidth(metrics, text())) + 1, qCeil(metrics.height()));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(font());
        painter.setPen(palette().color(QPalette::WindowText));
        drawSheetText(painter, QPointF(0, 0), text());
    }
};

// Whether a sheet box (frameless) shows all of its text: a line edit lays
// its text out two pixels inside its contents on either side, and keeps one
// pixel beyond the text for the caret.
bool showsWholeText(const QLineEdit* edit)
{
    constexpr int kLineEditMargin = 2;
    const QMargins margins = edit->textMargins();
    const int room = edit->contentsRect().width() - margins.left() - margins.right() - 2 * kLineEditMargin;
    return QFontMetricsF(edit->font(), edit).horizontalAdvance(edit->text()) + 1 <= room;
}

} // namespace

SheetView::SheetView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Picture5"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    resize(px(FieldMap::kSheetWidth), px(FieldMap::kSheetHeight));

    const QFont textFont = sheetFont(FieldMap::textFont());

    auto place = [this](QWidget* w, const TwipsRect& r) {
        w->setGeometry(px(r.left), px(r.top), px(r.width), px(r.height));
    };

    for (const CaptionDef& def : FieldMap::captions()) {
        auto* label = new SheetLabel(def.text, this);
        label->setObjectName(QStringLiteral("Label4_") + QString::number(def.index));
        label->setFont(textFont);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(false);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(label, def.rect);
        // A caption is never clipped to its designed width: it runs on as printed.
        label->resize(qMax(label->width(), label->sizeHint().width()),
                      qMax(label->height(), label->sizeHint().height()));
        label->setVisible(def.visible);
        m_captions.append(label);
    }

    for (const LineDef& def : FieldMap::lines()) {
        auto* line = new SheetLine(this);
        line->setObjectName(QStringLiteral("Line1_") + QString::number(def.index));
        const int x1 = px(def.x1), y1 = px(def.y1), x2 = px(def.x2), y2 = px(def.y2);
        line->setGeometry(qMin(x1, x2), qMin(y1, y2), qMax(1, qAbs(x2 - x1) + 1), qMax(1, qAbs(y2 - y1) + 1));
        line->setVisible(def.visible);
        m_lines.append(line);
    }

    QPalette boxPalette = palette();
    boxPalette.setColor(QPalette::Base, Qt::white);
    boxPalette.setColor(QPalette::Text, kBoxText);
    for (const BoxDef& def : FieldMap::boxes()) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(def.objectName());
        edit->setFrame(false);
        edit->setFont(textFont);
        edit->setPalette(boxPalette);
        edit->setTextMargins(0, 0, 0, 0);
        // A box holds whatever length its column holds; the line edit's own
        // limit would cut a loaded text and the next save would store the cut.
        edit->setMaxLength(std::numeric_limits<int>::max());
        place(edit, def.rect);
        edit->setVisible(def.visible);
        if (!def.visible) {
            edit->setFocusPolicy(Qt::NoFocus);
        }
        edit->installEventFilter(this);
        m_boxes.append(edit);
        // Typed, put in with a phrase or loaded alike.
        connect(edit, &QLineEdit::textChanged, this, [this, field = def.field] { showTextState(field); });
    }

    m_title = new QLabel(FieldMap::titleDesignText(), this);
    m_title->setObjectName(QStringLiteral("Label3"));
    m_title->setFont(sheetFont(FieldMap::titleFont()));
    m_title->setTextFormat(Qt::PlainText);
    place(m_title, FieldMap::titleRect());

    // Enter and Tab walk the boxes in the designed order.
    const auto order = FieldMap::tabOrder();
    for (qsizetype i = 1; i < order.size(); ++i) {
        setTabOrder(box(order[i - 1]->field), box(order[i]->field));
    }
}

int SheetView::px(double twips) const
{
    return twips::toPx(this, twips);
}

ExamRecord SheetView::record() const
{
    ExamRecord record;
    for (const BoxDef& def : FieldMap::boxes()) {
        record[def.field] = box(def.field)->text();
    }
    return record;
}

void SheetView::setRecord(const ExamRecord& record)
{
    for (const BoxDef& def : FieldMap::boxes()) {
        QLineEdit* edit = box(def.field);
        edit->setText(record[def.field]);
        edit->setCursorPosition(0);
    }
}

void SheetView::showTextState(Field field)
{
    QLineEdit* edit = box(field);
    QStringList tip;
    if (!showsWholeText(edit)) {
        tip << edit->text();
    }
    if (hasValueCheck(field)) {
        const QString reason = showValueFlag(field);
        if (!reason.isEmpty()) {
            tip << reason;
        }
    }
    QString text = tip.join(u'\n');
    // A tooltip that looks like markup would be shown as markup; the
    // operator's text is shown as typed.
    if (Qt::mightBeRichText(text)) {
        text = Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
    }
    edit->setToolTip(text);
}

QString SheetView::showValueFlag(Field field)
{
    QLineEdit* edit = box(field);
    const ValueFlag flag = valueFlag(field, edit->text());
    const QColor colour = valueFlagColour(flag.kind, kBoxText);
    if (edit->palette().color(QPalette::Text) != colour) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Text, colour);
        edit->setPalette(palette);
    }
    return flag.reason;
}

QColor valueFlagColour(ValueFlag::Kind kind, const QColor& plain)
{
    switch (kind) {
    case ValueFlag::Kind::Outstanding:
        return kFlaggedText;
    case ValueFlag::Kind::Unreadable:
        return kUncheckedText;
    case ValueFlag::Kind::None:
        break;
    }
    return plain;
}

void SheetView::setTitle(const QString& title)
{
    m_title->setText(title);
    m_title->adjustSize();
    const int height = px(FieldMap::titleRect().height);
    m_title->resize(m_title->width(), qMax(height, m_title->height()));
    m_title->move((width() - m_title->width()) / 2, px(FieldMap::titleRect().top));
}

bool SheetView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        const qsizetype i = m_boxes.indexOf(static_cast<QLineEdit*>(watched));
        if (i >= 0) {
            emit boxFocused(Field(i));
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brenvoll
