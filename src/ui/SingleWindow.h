#pragma once
// The program's windows are modeless and one of a kind: opening a window that
// is open already shows that one again, in front.
#include <QPointer>

class QWidget;

namespace brenvoll {

// Shows `window` and brings it to the front.
void bringToFront(QWidget* window);

// The one window held by `instance`, made (and loaded) by `create` when there
// is none yet.
template <class Window, class Create> Window* singleWindow(QPointer<Window>& instance, Create create)
{
    if (!instance) {
        instance = create();
    }
    return instance;
}

// singleWindow(), then bringToFront().
template <class Window, class Create> Window* showSingleWindow(QPointer<Window>& instance, Create create)
{
    Window* window = singleWindow(instance, create);
    bringToFront(window);
    return window;
}

} // namespace brenvoll
