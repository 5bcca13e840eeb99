#pragma once
// The control that Tab moves to: the next one in the focus chain that takes
// focus by Tab (frames and labels are passed over).
#include <QWidget>

namespace brenvoll::test {

inline QWidget* nextTabStop(QWidget* from)
{
    QWidget* next = from->nextInFocusChain();
    while (next != from && (!(next->focusPolicy() & Qt::TabFocus) || !next->isEnabled() ||
                            !next->isVisibleTo(from->window()))) {
        next = next->nextInFocusChain();
    }
    return next;
}

} // namespace brenvoll::test
