// The main window's layout and the scrolling of the sheet: the grey viewport
// Picture2 holds the scroll bar VScroll1 and the A4 page Picture3, which
// carries the sheet Picture5. Inside the viewport positions are millimetres.
#include "MainWindow.h"
#include "WindowLayout.h"
#include "record/SheetView.h"

#include <QCoreApplication>
#include <QFrame>
#include <QListWidget>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace brenvoll {

namespace {

// The viewport: a sunken grey frame whose children live on an inner plane that
// is clipped to the inside of the border, so that a page taller or wider than
// the viewport is cut off at the border rather than painted over it.
class ViewportFrame : public QFrame
{
public:
    explicit ViewportFrame(QWidget* parent) : QFrame(parent), m_inside(new QWidget(this))
    {
        m_inside->setObjectName(QStringLiteral("Picture2Inside"));
    }

    QWidget* inside() const { return m_inside; }
    void setWheelTarget(QScrollBar* bar) { m_bar = bar; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QFrame::resizeEvent(event);
        m_inside->setGeometry(contentsRect());
    }

    // The wheel over the page moves the scroll bar, which then moves the page.
    void wheelEvent(QWheelEvent* event) override
    {
        if (m_bar && m_bar->isEnabled()) {
            QCoreApplication::sendEvent(m_bar, event);
            return;
        }
        QFrame::wheelEvent(event);
    }

private:
    QWidget* m_inside;
    QScrollBar* m_bar = nullptr;
};

double pxPerMm(const QWidget* w)
{
    return w->logicalDpiY() / 25.4;
}

int mmToPx(const QWidget* w, double mm)
{
    return qRound(mm * pxPerMm(w));
}

double pxToMm(const QWidget* w, int px)
{
    return px / pxPerMm(w);
}

double pxToTwips(const QWidget* w, int px)
{
    return px * 1440.0 / w->logicalDpiY();
}

// List3 may sit inside a panel of the client area; its rule is in client
// coordinates.
QPoint listOrigin(const QWidget* client, const QWidget* list)
{
    const QWidget* parent = list->parentWidget();
    if (parent == client || !client->isAncestorOf(list)) {
        return {};
    }
    return parent->mapTo(client, QPoint(0, 0));
}

} // namespace

void MainWindow::buildViewport(QWidget* client)
{
    auto* viewport = new ViewportFrame(client);
    Picture2 = viewport;
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture2->setLineWidth(2);
    Picture2->setAutoFillBackground(true);
    QPalette grey = Picture2->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    Picture2->setPalette(grey);
    Picture2->setGeometry(px(2520), px(810), px(12670), px(9375));

    Picture3 = new QWidget(viewport->inside());
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setAutoFillBackground(true);
    QPalette white = Picture3->palette();
    white.setColor(QPalette::Window, Qt::white);
    Picture3->setPalette(white);
    Picture3->setGeometry(0, 0, mmToPx(this, WindowLayout::kPageWidthMm),
                          mmToPx(this, WindowLayout::kPageHeightMm));

    // The sheet is a little wider than the page; the page cuts it off.
    Picture5 = new SheetView(Picture3);
    Picture5->move(0, 0);

    VScroll1 = new QScrollBar(Qt::Vertical, viewport->inside());
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setRange(0, WindowLayout::kBarMaximum);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(10);
    VScroll1->setGeometry(0, 0, px(WindowLayout::kBarWidthTwips), Picture2->height());
    // Dragging the thumb moves the page as it goes (tracking), like a click.
    VScroll1->setTracking(true);
    connect(VScroll1, &QScrollBar::valueChanged, this, &MainWindow::scrollPage);
    viewport->setWheelTarget(VScroll1);
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void MainWindow::applyLayout()
{
    QWidget* client = centralWidget();
    const QPoint origin = listOrigin(client, List3);

    WindowGeometry now;
    now.toolbarWidth = pxToTwips(this, Frame1->width());
    now.viewportWidth = pxToTwips(this, Picture2->width());
    now.viewportHeight = pxToTwips(this, Picture2->height());
    now.listHeight = pxToTwips(this, List3->height());
    now.listTop = pxToTwips(this, List3->y() + origin.y());
    now.barHeight = pxToMm(this, VScroll1->height());
    now.barLeft = pxToMm(this, VScroll1->x());
    now.pageLeft = pxToMm(this, Picture3->x());
    now.pageTop = pxToMm(this, Picture3->y());
    now.barEnabled = VScroll1->isEnabled();

    // The window's outer size: borders, title bar and menu bar included.
    const QRect outer = frameGeometry();
    const WindowGeometry next =
        WindowLayout::arrange(pxToTwips(this, outer.width()), pxToTwips(this, outer.height()), now);

    Frame1->resize(px(next.toolbarWidth), Frame1->height());
    Picture2->resize(px(next.viewportWidth), px(next.viewportHeight));
    List3->setGeometry(List3->x(), px(next.listTop) - origin.y(), List3->width(), px(next.listHeight));
    VScroll1->setGeometry(mmToPx(this, next.barLeft), 0, VScroll1->width(), mmToPx(this, next.barHeight));
    Picture3->move(mmToPx(this, next.pageLeft), mmToPx(this, next.pageTop));
    VScroll1->setEnabled(next.barEnabled);
}

void MainWindow::scrollPage(int value)
{
    const auto top =
        WindowLayout::scrolledPageTop(pxToTwips(this, Picture2->height()), value, VScroll1->maximum());
    if (top) {
        Picture3->move(Picture3->x(), mmToPx(this, *top));
    }
}

} // namespace brenvoll
