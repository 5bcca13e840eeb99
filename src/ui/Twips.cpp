#include "Twips.h"

#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace brenvoll::twips {

int toPx(const QWidget* widget, double twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

double fromPx(const QWidget* widget, int pixels)
{
    return pixels * 1440.0 / widget->logicalDpiX();
}

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(toPx(widget, left), toPx(widget, top), toPx(widget, width), toPx(widget, height));
}

void placeLabel(QLabel* label, int left, int top, int width, int height)
{
    place(label, left, top, width, height);
    const QSize hint = label->sizeHint();
    const int grow = qMax(0, hint.height() - label->height());
    label->setGeometry(label->x(), label->y() - grow / 2, qMax(label->width(), hint.width()),
                       label->height() + grow);
}

void centreOnScreen(QWidget* window, int twipsAbove)
{
    const QScreen* screen = window->screen();
    if (!screen) {
        return;
    }
    const QRect area = screen->geometry();
    window->move(area.x() + (area.width() - window->width()) / 2,
                 area.y() + (area.height() - window->height()) / 2 - toPx(window, twipsAbove));
}

} // namespace brenvoll::twips
