#pragma once
// The examination sheet on screen: title, captions, ruling lines and
// the borderless boxes, all placed from the field map.
#include "record/FieldMap.h"
#include "record/ValueFlags.h"

#include <QColor>
#include <QLineEdit>
#include <QList>
#include <QWidget>

class QLabel;

namespace brenvoll {

// The colour of a value's text for what it calls for: red for a value that
// calls for attention, grey for one that cannot be checked, else `plain`.
QColor valueFlagColour(ValueFlag::Kind kind, const QColor& plain = Qt::black);

class SheetView : public QWidget
{
    Q_OBJECT
public:
    explicit SheetView(QWidget* parent = nullptr);

    QLineEdit* box(Field field) const { return m_boxes.value(int(field)); }
    QLineEdit* box(BoxSet set, int index) const { return box(fieldOf(set, index)); }
    QLabel* title() const { return m_title; }
    QLabel* caption(int index) const { return m_captions.value(index); }
    QWidget* line(int index) const { return m_lines.value(index); }

    // The texts of every box, and filling every box from a record.
    ExamRecord record() const;
    void setRecord(const ExamRecord& record);

    // Shows `title` centred across the sheet.
    void setTitle(const QString& title);

    // Twips to this screen's pixels (1440 twips per logical inch).
    int px(double twips) const;

signals:
    // A sheet box received the focus.
    void boxFocused(Field field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The tooltip of a box follows its text: the whole text when the box is
    // too narrow to show all of it, and on a line of its own the reason of a
    // value flag; none for a short text without a flag.
    void showTextState(Field field);
    // Red text while a box holds a value that stands out, grey text while it
    // holds one that cannot be checked, the designed blue otherwise; returns
    // the flag's reason.
    QString showValueFlag(Field field);

    QLabel* m_title = nullptr;
    QList<QLabel*> m_captions;
    QList<QWidget*> m_lines;
    QList<QLineEdit*> m_boxes; // in Field order
};

} // namespace brenvoll
