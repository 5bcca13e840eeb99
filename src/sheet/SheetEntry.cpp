#include "SheetEntry.h"

#include "SheetView.h"
#include "base/Clock.h"
#include "record/DateRules.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace brenvoll {

SheetEntry::SheetEntry(SheetView* sheet, QObject* parent) : QObject(parent), m_sheet(sheet)
{
    setObjectName(QStringLiteral("SheetEntry"));
    for (const BoxDef& def : FieldMap::boxes()) {
        m_sheet->box(def.field)->installEventFilter(this);
    }
    connect(m_sheet, &SheetView::boxFocused, this, &SheetEntry::boxFocused);
}

void SheetEntry::boxFocused(Field field)
{
    QLineEdit* box = m_sheet->box(field);
    m_target = box;
    // Focus that only comes back with the window or after a context menu is
    // no entering of the box: a date half typed then must stay as it is.
    const bool returning =
        m_focusReason == Qt::ActiveWindowFocusReason || m_focusReason == Qt::PopupFocusReason;
    if (field == Field::ExamDate && !returning) {
        // After the box has handled its own focus arrival (which may select
        // all of its text, or place the caret under the mouse), so that the
        // date default has the last word on text and caret.
        QMetaObject::invokeMethod(
            box, [this, box] { applyDateDefault(box); }, Qt::QueuedConnection);
    }
}

void SheetEntry::applyDateDefault(QLineEdit* box)
{
    if (hasDateShape(box->text())) {
        return;
    }
    // Filled in and selected: Enter keeps today's date, typing another date
    // replaces it instead of running on after it.
    box->setText(formatDate(Clock::today()));
    box->selectAll();
}

bool SheetEntry::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            // The box never sees the Enter; a Tab takes its place and moves
            // the focus along the sheet's tab order as a typed Tab would.
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &tab);
            return true;
        }
    } else if (event->type() == QEvent::FocusIn) {
        // Seen before the sheet reports the arrival.
        m_focusReason = static_cast<QFocusEvent*>(event)->reason();
    } else if (event->type() == QEvent::FocusOut) {
        m_left.box = box;
        m_left.text = box->text();
        m_left.selectionStart = box->selectionStart();
        m_left.selectionLength = int(box->selectedText().size());
        m_left.cursor = box->cursorPosition();
        // A box left behind shows the start of its text, as a loaded one
        // does, so that the sheet reads from the left; a context menu or
        // another window takes the focus only for a while.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            box->setCursorPosition(0);
        }
    }
    return false;
}

void SheetEntry::restoreLeftState(QLineEdit* box)
{
    // Only while the box still holds the text it was left with: a record
    // loaded since then has its own caret.
    if (box->hasFocus() || m_left.box != box || m_left.text != box->text()) {
        return;
    }
    if (m_left.selectionLength > 0) {
        box->setSelection(m_left.selectionStart, m_left.selectionLength);
    } else {
        box->setCursorPosition(m_left.cursor);
    }
}

bool SheetEntry::returnToTarget()
{
    QLineEdit* box = m_target;
    if (!box) {
        return false;
    }
    restoreLeftState(box);
    box->setFocus(Qt::OtherFocusReason);
    return true;
}

bool SheetEntry::insertPhrase(const QString& phrase)
{
    QLineEdit* box = m_target;
    if (!box) {
        return false;
    }
    restoreLeftState(box);
    box->insert(phrase);
    box->setFocus(Qt::OtherFocusReason);
    return true;
}

} // namespace brenvoll
