// Closing the main window.
#include "Form1.h"

#include <QCloseEvent>

namespace brenvoll {

void Form1::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
}

} // namespace brenvoll
