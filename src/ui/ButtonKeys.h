#pragma once
// Enter on a push button that has the focus presses it, in every window, as
// the platform's own dialogs do. No button becomes the default button by
// taking the focus, so Enter anywhere else does what it did before.
class QWidget;

namespace brenvoll {

// For the push buttons that `window` holds when it is called.
void enterPressesFocusedButton(QWidget* window);

// Escape closes `window`, as it closes a dialog: for the windows that are no
// dialogs (历年对比, 体检统计).
void escapeCloses(QWidget* window);

} // namespace brenvoll
