// Closing the main window.
#include <QCloseEvent>

#include "Form1.h"

namespace brenvoll {

void Form1::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
}

} // namespace brenvoll
