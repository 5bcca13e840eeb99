// The main window's layout and the scrolling of the sheet.
#include "Form1.h"
#include "record/SheetView.h"

#include <QFrame>
#include <QListWidget>
#include <QResizeEvent>
#include <QScrollBar>

namespace brenvoll {

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void Form1::applyLayout()
{
    // Provisional: the viewport fills the right of the window, the page sits
    // centred left of the scroll bar.
    QWidget* client = centralWidget();
    const int left = px(2520);
    const int top = px(810);
    const int w = client->width() - left - px(60);
    const int h = client->height() - top - px(60);
    if (w > 0 && h > 0) {
        Picture2->setGeometry(left, top, w, h);
    }
    const int bar = px(255);
    VScroll1->setGeometry(Picture2->width() - bar - 2, 2, bar, qMax(0, Picture2->height() - 4));
    const int pageLeft = (Picture2->width() - bar - Picture3->width()) / 2;
    if (Picture2->height() > Picture3->height()) {
        Picture3->move(pageLeft, (Picture2->height() - Picture3->height()) / 2);
        VScroll1->setEnabled(false);
    } else {
        Picture3->move(pageLeft, 0);
        VScroll1->setEnabled(true);
    }
    Frame1->resize(qMax(0, width() - px(210)), Frame1->height());
    const int listTop = px(6840);
    List3->setGeometry(List3->x(), listTop, List3->width(),
                       qMax(px(600), client->height() - listTop - px(120)));
}

void Form1::scrollPage(int value)
{
    const int overflow = Picture3->height() - Picture2->height();
    if (overflow > 0 && VScroll1->maximum() > 0) {
        Picture3->move(Picture3->x(), -overflow * value / VScroll1->maximum());
    }
}

} // namespace brenvoll
