#include "ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <QWindow>

namespace brenvoll {

namespace {

// The window's frame. The window system tells it once the window has been
// shown; before that, the program's other windows show what it will be, and
// failing them (the first window of a run) a title bar two lines of text high.
QMargins frameOf(const QWidget* window)
{
    if (const QWindow* handle = window->windowHandle(); handle && !handle->frameMargins().isNull()) {
        return handle->frameMargins();
    }
    QMargins others;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other != window && other->isVisible() && other->windowHandle()) {
            others = others | other->windowHandle()->frameMargins();
        }
    }
    if (!others.isNull()) {
        return others;
    }
    const int border = window->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, window);
    const int title = qMax(window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window),
                           2 * QFontMetrics(window->font()).height());
    return {border, title + border, border, border};
}

// The smallest the window may be made: its own minimum, and what its layout
// needs when it has one.
QSize minimumOf(const QWidget* window)
{
    QSize minimum = window->minimumSize();
    if (window->layout()) {
        minimum = minimum.expandedTo(window->minimumSizeHint());
    }
    return minimum;
}

bool isFitted(const QWidget* window)
{
    switch (window->windowType()) {
    case Qt::Window:
    case Qt::Dialog:
    case Qt::Sheet:
    case Qt::Tool:
        return !(window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
    default:
        return false; // popups, tooltips, splash screens, the desktop
    }
}

// Fits each top-level window as it is shown, before the window system maps
// it: the window opens in its fitted place, without a jump.
class WindowFitter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            if (window->isWindow()) {
                fitToScreen(window);
            }
        }
        return false;
    }
};

} // namespace

WindowFit fitWindow(const WindowShape& window, const QRect& available)
{
    WindowFit fit{window.geometry};
    const QSize room(available.width() - window.frame.left() - window.frame.right(),
                     available.height() - window.frame.top() - window.frame.bottom());
    const QSize designed = window.geometry.size();
    const bool fits = designed.width() <= room.width() && designed.height() <= room.height();
    if (fits && !window.placed) {
        return fit; // the window system places it on the screen
    }
    const bool resizable = window.minimum != window.maximum;
    QSize size = designed;
    if (!fits && resizable) {
        if (window.minimum.width() > room.width() || window.minimum.height() > room.height()) {
            fit.maximised = true;
            fit.changed = true;
            return fit;
        }
        size = designed.boundedTo(room).expandedTo(window.minimum);
    }
    QRect frame = QRect(window.geometry.topLeft(), size).marginsAdded(window.frame);
    if (!window.placed) {
        frame.moveCenter(available.center());
    }
    // Inside the area; a frame wider or taller than it keeps its title bar
    // at the area's top left.
    frame.moveLeft(qMax(available.left(), qMin(frame.left(), available.right() + 1 - frame.width())));
    frame.moveTop(qMax(available.top(), qMin(frame.top(), available.bottom() + 1 - frame.height())));
    fit.geometry = frame.marginsRemoved(window.frame);
    fit.changed = fit.geometry != window.geometry;
    return fit;
}

void fitToScreen(QWidget* window)
{
    if (!isFitted(window)) {
        return;
    }
    const bool placed = window->testAttribute(Qt::WA_Moved);
    QScreen* screen = placed ? QGuiApplication::screenAt(window->geometry().center()) : nullptr;
    if (!screen) {
        screen = window->screen();
    }
    if (!screen) {
        return;
    }
    const WindowShape shape{window->geometry(), frameOf(window), minimumOf(window), window->maximumSize(),
                            placed};
    const WindowFit fit = fitWindow(shape, screen->availableGeometry());
    if (fit.maximised) {
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    } else if (fit.changed) {
        window->setGeometry(fit.geometry);
    }
}

void fitWindowsToScreen()
{
    static QObject* fitter = nullptr;
    if (!fitter) {
        fitter = new WindowFitter(qApp);
        qApp->installEventFilter(fitter);
    }
}

} // namespace brenvoll
