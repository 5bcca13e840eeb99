#include "SingleWindow.h"

#include <QWidget>

namespace brenvoll {

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace brenvoll
