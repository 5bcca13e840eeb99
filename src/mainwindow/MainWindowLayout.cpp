// The main window's layout and the scrolling of the sheet: the grey viewport
// holds the scroll bar and the white A4 page, which carries the sheet. Inside
// the viewport positions are millimetres. The page moves only in the scroll
// bar's steps: the wheel and a box receiving the focus turn the bar.
#include "MainWindow.h"
#include "WindowLayout.h"
#include "sheet/SheetView.h"

#include <QApplication>
#include <QFrame>
#include <QListWidget>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <functional>

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
    // The wheel over the page and over the scroll bar goes to `turn`, with the
    // vertical angle turned (120 a notch, positive away from the operator).
    void setWheelHandler(QScrollBar* bar, std::function<void(int)> turn)
    {
        m_bar = bar;
        m_turn = std::move(turn);
        m_bar->installEventFilter(this);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QFrame::resizeEvent(event);
        m_inside->setGeometry(contentsRect());
    }

    void wheelEvent(QWheelEvent* event) override
    {
        if (!turnWheel(event)) {
            QFrame::wheelEvent(event);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_bar && event->type() == QEvent::Wheel) {
            return turnWheel(static_cast<QWheelEvent*>(event));
        }
        return QFrame::eventFilter(watched, event);
    }

private:
    bool turnWheel(QWheelEvent* event)
    {
        const int angle = event->angleDelta().y();
        if (!m_bar || !m_bar->isEnabled() || !m_turn || angle == 0) {
            return false;
        }
        m_turn(angle);
        event->accept();
        return true;
    }

    QWidget* m_inside;
    QScrollBar* m_bar = nullptr;
    std::function<void(int)> m_turn;
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

// The phrase list may sit inside a panel of the client area; its rule is in
// client coordinates.
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
    m_viewport = viewport;
    m_viewport->setObjectName(QStringLiteral("Picture2"));
    m_viewport->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_viewport->setLineWidth(2);
    m_viewport->setAutoFillBackground(true);
    QPalette grey = m_viewport->palette();
    grey.setColor(QPalette::Window, QColor(128, 128, 128));
    m_viewport->setPalette(grey);
    m_viewport->setGeometry(px(2520), px(810), px(12670), px(9375));

    m_page = new QWidget(viewport->inside());
    m_page->setObjectName(QStringLiteral("Picture3"));
    m_page->setAutoFillBackground(true);
    QPalette white = m_page->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_page->setPalette(white);
    m_page->setGeometry(0, 0, mmToPx(this, WindowLayout::kPageWidthMm),
                        mmToPx(this, WindowLayout::kPageHeightMm));

    // The sheet is a little wider than the page; the page cuts it off.
    m_sheet = new SheetView(m_page);
    m_sheet->move(0, 0);

    m_scrollBar = new QScrollBar(Qt::Vertical, viewport->inside());
    m_scrollBar->setObjectName(QStringLiteral("VScroll1"));
    m_scrollBar->setRange(0, WindowLayout::kBarMaximum);
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(10);
    m_scrollBar->setGeometry(0, 0, px(WindowLayout::kBarWidthTwips), m_viewport->height());
    // Dragging the thumb moves the page as it goes (tracking), like a click.
    m_scrollBar->setTracking(true);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &MainWindow::scrollPage);
    viewport->setWheelHandler(m_scrollBar, [this](int angle) { turnWheel(angle); });
    // Enter, Tab, a click or a phrase that puts the focus into a box out of
    // view brings the box into view.
    connect(m_sheet, &SheetView::boxFocused, this, [this](Field field) { bringIntoView(box(field)); });
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    applyLayout();
}

void MainWindow::applyLayout()
{
    QWidget* client = centralWidget();
    const QPoint origin = listOrigin(client, m_phraseList);

    WindowGeometry now;
    now.toolbarWidth = pxToTwips(this, m_toolbar->width());
    now.viewportWidth = pxToTwips(this, m_viewport->width());
    now.viewportHeight = pxToTwips(this, m_viewport->height());
    now.listHeight = pxToTwips(this, m_phraseList->height());
    now.listTop = pxToTwips(this, m_phraseList->y() + origin.y());
    now.barHeight = pxToMm(this, m_scrollBar->height());
    now.barLeft = pxToMm(this, m_scrollBar->x());
    now.pageLeft = pxToMm(this, m_page->x());
    now.pageTop = pxToMm(this, m_page->y());
    now.barEnabled = m_scrollBar->isEnabled();

    // The window's outer size: borders, title bar and menu bar included.
    const QRect outer = frameGeometry();
    const WindowGeometry next =
        WindowLayout::arrange(pxToTwips(this, outer.width()), pxToTwips(this, outer.height()), now);

    m_toolbar->resize(px(next.toolbarWidth), m_toolbar->height());
    m_viewport->resize(px(next.viewportWidth), px(next.viewportHeight));
    m_phraseList->setGeometry(m_phraseList->x(), px(next.listTop) - origin.y(), m_phraseList->width(),
                              px(next.listHeight));
    m_scrollBar->setGeometry(mmToPx(this, next.barLeft), 0, m_scrollBar->width(),
                             mmToPx(this, next.barHeight));
    m_page->move(mmToPx(this, next.pageLeft), mmToPx(this, next.pageTop));
    m_scrollBar->setEnabled(next.barEnabled);
    if (next.barEnabled) {
        // The page stands where the bar's value says in the viewport as it is
        // now, so that the next step moves it by one step and no more.
        scrollPage(m_scrollBar->value());
    } else {
        // A page that fits stays centred; the bar rests at the top with it.
        const QSignalBlocker quiet(m_scrollBar);
        m_scrollBar->setValue(0);
    }
}

void MainWindow::scrollPage(int value)
{
    const auto top =
        WindowLayout::scrolledPageTop(pxToTwips(this, m_viewport->height()), value, m_scrollBar->maximum());
    if (top) {
        m_page->move(m_page->x(), mmToPx(this, *top));
    }
}

int MainWindow::boxTopAt(int value, const QWidget* box) const
{
    const auto top =
        WindowLayout::scrolledPageTop(pxToTwips(this, m_viewport->height()), value, m_scrollBar->maximum());
    return (top ? mmToPx(this, *top) : m_page->y()) + box->mapTo(m_page, QPoint(0, 0)).y();
}

void MainWindow::bringIntoView(const QWidget* box)
{
    if (!m_scrollBar->isEnabled()) {
        return; // the whole page is in view
    }
    // Half a box of room above and below it shows its caption whole as well.
    const int room = box->height() / 2;
    const int inView = m_page->parentWidget()->height() - room;
    int value = m_scrollBar->value();
    // The fewest steps that show the whole box; a box taller than the
    // viewport shows its top.
    while (value > m_scrollBar->minimum() && boxTopAt(value, box) < room) {
        --value;
    }
    while (value < m_scrollBar->maximum() && boxTopAt(value, box) + box->height() > inView &&
           boxTopAt(value + 1, box) >= room) {
        ++value;
    }
    m_scrollBar->setValue(value);
}

void MainWindow::turnWheel(int angle)
{
    // A notch moves the page by the bar's steps that come nearest to the
    // system's wheel lines (three unless set otherwise) of the sheet's text.
    const auto top = [this](int value) {
        return WindowLayout::scrolledPageTop(pxToTwips(this, m_viewport->height()), value,
                                             m_scrollBar->maximum())
            .value_or(0);
    };
    const double stepPx = (top(0) - top(1)) * pxPerMm(this);
    const int linePx = box(Field::Name)->fontMetrics().lineSpacing();
    const int lines = qMax(1, QApplication::wheelScrollLines());
    const int stepsPerNotch =
        stepPx > 0 ? qBound(1, qRound(lines * linePx / stepPx), m_scrollBar->maximum()) : 1;
    // Fine wheels send parts of a notch; they add up. A turn the other way
    // starts afresh.
    if ((angle > 0) != (m_wheelRest > 0)) {
        m_wheelRest = 0;
    }
    m_wheelRest += angle * stepsPerNotch / 120.0;
    const int steps = int(m_wheelRest);
    m_wheelRest -= steps;
    m_scrollBar->setValue(m_scrollBar->value() - steps);
}

} // namespace brenvoll
