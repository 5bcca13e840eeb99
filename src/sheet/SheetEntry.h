#pragma once
// What every box of the sheet does while the operator types: Enter moves on
// as Tab does, the box that last had the focus is kept as the insertion target
// of the phrase panel, the examination date box fills in today's date when
// it is entered without a date in it, and a box that is left shows the start
// of its text (while worked in, a box shows the part around its caret: the
// end, after typing or a phrase at the end).
#include "record/FieldMap.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;

namespace brenvoll {

class SheetView;

class SheetEntry : public QObject
{
    Q_OBJECT
public:
    explicit SheetEntry(SheetView* sheet, QObject* parent = nullptr);

    // The sheet box that last received the focus; null until one did. It is
    // kept when the focus moves on to a control outside the sheet.
    QLineEdit* target() const { return m_target; }

    // Puts `phrase` into the target where the operator left it: over the text
    // that was selected there, else at its caret; the caret ends after the
    // phrase and the target gets the focus back. False when there is no
    // target yet.
    bool insertPhrase(const QString& phrase);

    // Gives the focus back to the target with the caret and the selection it
    // was left with. False when there is no target yet.
    bool returnToTarget();

    // Focus arrival in a sheet box: it becomes the insertion target, and the
    // examination date box fills in today's date.
    void boxFocused(Field field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A box that leaves the focus forgets its selection and its caret; they
    // are kept here so that a phrase can still replace the selection or go
    // in at the caret, and so that the box can be returned to as it was.
    struct LeftState
    {
        QPointer<QLineEdit> box;
        QString text;
        int selectionStart = -1;
        int selectionLength = 0;
        int cursor = 0;
    };

    void applyDateDefault(QLineEdit* box);
    void restoreLeftState(QLineEdit* box);

    SheetView* m_sheet;
    QPointer<QLineEdit> m_target;
    LeftState m_left;
    Qt::FocusReason m_focusReason = Qt::OtherFocusReason;
};

} // namespace brenvoll
