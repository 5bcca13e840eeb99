#include "PhrasePanel.h"

#include "PhraseLibraryWindow.h"
#include "PhraseStore.h"
#include "sheet/SheetEntry.h"
#include "ui/Twips.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QSvgRenderer>

// Resources of a static library are registered by hand.
static void initPhraseResources()
{
    Q_INIT_RESOURCE(phrases);
}

namespace brenvoll {

namespace {
constexpr int kFilterLength = 6;
}

PhraseList::PhraseList(QWidget* parent) : QListWidget(parent)
{
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { emit chosen(row(item)); });
}

void PhraseList::enterFromFilter()
{
    m_browsed = true;
    setFocus(Qt::TabFocusReason);
    setCurrentRow(0);
}

void PhraseList::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (before >= 0) {
            emit chosen(before);
        }
        event->accept();
        return;
    case Qt::Key_Escape:
        emit escaped();
        event->accept();
        return;
    case Qt::Key_Up:
        if (m_browsed && before <= 0) {
            emit leftUpwards();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    // Moving only moves: a phrase goes in by Enter, Space or a click, never
    // by an arrow key that reached the list by Tab.
    QListWidget::keyPressEvent(event);
}

void PhraseList::focusOutEvent(QFocusEvent* event)
{
    m_browsed = false;
    QListWidget::focusOutEvent(event);
}

PhrasePanel::PhrasePanel(QWidget* client) : QWidget(client)
{
    initPhraseResources();
    setObjectName(QStringLiteral("PhrasePanel"));
    // The panel's origin is the client area's, so the controls keep the
    // client coordinates the main window's layout moves them by.
    setGeometry(0, 0, twips::toPx(this, 2520), client->height());
    client->installEventFilter(this);

    m_titleBar = new QLabel(this);
    m_titleBar->setObjectName(QStringLiteral("Label2"));
    m_titleBar->setAutoFillBackground(true);
    QPalette bar = m_titleBar->palette();
    bar.setColor(QPalette::Window, QColor(128, 128, 255));
    m_titleBar->setPalette(bar);
    twips::place(m_titleBar, 60, 6060, 2430, 300);

    m_titleIcon = new QLabel(this);
    m_titleIcon->setObjectName(QStringLiteral("Image1"));
    twips::place(m_titleIcon, 120, 5940, 300, 405);
    showIcon(m_titleIcon, QStringLiteral(":/phrases/icons/phrases.svg"));

    m_titleCaption = new QLabel(QStringLiteral("插入常用语"), this);
    m_titleCaption->setObjectName(QStringLiteral("Label31_2"));
    QPalette white = m_titleCaption->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    m_titleCaption->setPalette(white);
    twips::place(m_titleCaption, 720, 6120, 900, 180);
    m_titleCaption->adjustSize();

    m_filterFrame = new QFrame(this);
    m_filterFrame->setObjectName(QStringLiteral("Picture1"));
    m_filterFrame->setFrameShape(QFrame::Box);
    m_filterFrame->setAutoFillBackground(true);
    QPalette field = m_filterFrame->palette();
    field.setColor(QPalette::Window, Qt::white);
    field.setColor(QPalette::WindowText, QColor(160, 160, 160));
    m_filterFrame->setPalette(field);
    twips::place(m_filterFrame, 60, 6450, 1515, 315);

    m_searchIcon = new QLabel(m_filterFrame);
    m_searchIcon->setObjectName(QStringLiteral("Image2"));
    twips::place(m_searchIcon, 45, 45, 225, 225);
    showIcon(m_searchIcon, QStringLiteral(":/phrases/icons/search.svg"));

    m_phraseFilter = new QLineEdit(m_filterFrame);
    m_phraseFilter->setObjectName(QStringLiteral("Text15"));
    m_phraseFilter->setFrame(false);
    m_phraseFilter->setMaxLength(kFilterLength);
    twips::place(m_phraseFilter, 300, 30, 1155, 225);
    connect(m_phraseFilter, &QLineEdit::textChanged, this, &PhrasePanel::filterPhrases);
    m_phraseFilter->installEventFilter(this);
    // The filter without the mouse: Ctrl+F from anywhere in the window.
    auto* toFilter = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    toFilter->setContext(Qt::WindowShortcut);
    connect(toFilter, &QShortcut::activated, this, [this] {
        m_phraseFilter->setFocus(Qt::ShortcutFocusReason);
        m_phraseFilter->selectAll();
    });

    m_editLink = new QLabel(QStringLiteral("编辑词库"), this);
    m_editLink->setObjectName(QStringLiteral("Label24"));
    QPalette link = m_editLink->palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_editLink->setPalette(link);
    m_editLink->setCursor(Qt::PointingHandCursor);
    twips::place(m_editLink, 1680, 6480, 720, 180);
    m_editLink->adjustSize();
    m_editLink->installEventFilter(this);

    m_phraseList = new PhraseList(this);
    m_phraseList->setObjectName(QStringLiteral("List3"));
    m_phraseList->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::place(m_phraseList, 60, 6840, 2355, 3300);
    connect(m_phraseList, &PhraseList::chosen, this, &PhrasePanel::insertChosenPhrase);
    connect(m_phraseList, &PhraseList::escaped, this, &PhrasePanel::returnToSheet);
    connect(m_phraseList, &PhraseList::leftUpwards, m_phraseFilter,
            [this] { m_phraseFilter->setFocus(Qt::BacktabFocusReason); });

    // Below the search panel and the result list that share its column.
    lower();
}

void PhrasePanel::showIcon(QLabel* image, const QString& resource)
{
    QSvgRenderer renderer(resource);
    const qreal ratio = devicePixelRatioF();
    QPixmap pixmap(image->size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    // Square, centred in its place, whatever the place's proportions.
    const int side = qMin(image->width(), image->height());
    renderer.render(&painter,
                    QRectF((image->width() - side) / 2.0, (image->height() - side) / 2.0, side, side));
    painter.end();
    image->setPixmap(pixmap);
}

void PhrasePanel::filterPhrases()
{
    // A failing query leaves the list empty, as a filter nothing matches.
    QStringList phrases;
    PhraseStore::matching(m_phraseFilter->text(), phrases);
    m_phraseList->clear();
    m_phraseList->addItems(phrases);
}

void PhrasePanel::showWholeLibrary()
{
    // A library that cannot be read leaves the list as it was.
    QStringList phrases;
    if (!PhraseStore::all(phrases)) {
        return;
    }
    m_phraseList->clear();
    m_phraseList->addItems(phrases);
}

void PhrasePanel::insertChosenPhrase(int row)
{
    QListWidgetItem* item = m_phraseList->item(row);
    if (item && m_entry) {
        m_entry->insertPhrase(item->text());
    }
}

void PhrasePanel::returnToSheet()
{
    if (!m_entry || !m_entry->returnToTarget()) {
        m_phraseFilter->setFocus(Qt::OtherFocusReason);
    }
}

PhraseLibraryWindow* PhrasePanel::openLibrary()
{
    PhraseLibraryWindow* editor = PhraseLibraryWindow::showWindow();
    // Once per editor, however often the link opens it again.
    connect(editor, &PhraseLibraryWindow::phrasesChanged, this, &PhrasePanel::showWholeLibrary,
            Qt::UniqueConnection);
    return editor;
}

bool PhrasePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        resize(width(), parentWidget()->height());
    } else if (watched == m_phraseFilter && event->type() == QEvent::KeyPress &&
               static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && m_phraseList->count() > 0) {
        // From the filter down into the phrases it left.
        m_phraseList->enterFromFilter();
        return true;
    } else if (watched == m_editLink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_editLink->rect().contains(mouse->position().toPoint())) {
            openLibrary();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brenvoll
