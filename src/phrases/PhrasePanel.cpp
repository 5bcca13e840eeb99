#include "PhrasePanel.h"

#include "PhraseLibraryWindow.h"
#include "PhraseStore.h"
#include "SheetEntry.h"
#include "app/Twips.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
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

void PhraseList::keyPressEvent(QKeyEvent* event)
{
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && currentRow() >= 0) {
        emit chosen(currentRow());
    }
}

PhrasePanel::PhrasePanel(QWidget* client) : QWidget(client)
{
    initPhraseResources();
    setObjectName(QStringLiteral("PhrasePanel"));
    // The panel's origin is the client area's, so the controls keep the
    // client coordinates the main window's layout moves them by.
    setGeometry(0, 0, twips::toPx(this, 2520), client->height());
    client->installEventFilter(this);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAutoFillBackground(true);
    QPalette bar = Label2->palette();
    bar.setColor(QPalette::Window, QColor(128, 128, 255));
    Label2->setPalette(bar);
    twips::place(Label2, 60, 6060, 2430, 300);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    twips::place(Image1, 120, 5940, 300, 405);
    showIcon(Image1, QStringLiteral(":/phrases/icons/phrases.svg"));

    Label31 = new QLabel(QStringLiteral("插入常用语"), this);
    Label31->setObjectName(QStringLiteral("Label31_2"));
    QPalette white = Label31->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label31->setPalette(white);
    twips::place(Label31, 720, 6120, 900, 180);
    Label31->adjustSize();

    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::Box);
    Picture1->setAutoFillBackground(true);
    QPalette field = Picture1->palette();
    field.setColor(QPalette::Window, Qt::white);
    field.setColor(QPalette::WindowText, QColor(160, 160, 160));
    Picture1->setPalette(field);
    twips::place(Picture1, 60, 6450, 1515, 315);

    Image2 = new QLabel(Picture1);
    Image2->setObjectName(QStringLiteral("Image2"));
    twips::place(Image2, 45, 45, 225, 225);
    showIcon(Image2, QStringLiteral(":/phrases/icons/search.svg"));

    Text15 = new QLineEdit(Picture1);
    Text15->setObjectName(QStringLiteral("Text15"));
    Text15->setFrame(false);
    Text15->setMaxLength(kFilterLength);
    twips::place(Text15, 300, 30, 1155, 225);
    connect(Text15, &QLineEdit::textChanged, this, &PhrasePanel::Text15_Change);

    Label24 = new QLabel(QStringLiteral("编辑词库"), this);
    Label24->setObjectName(QStringLiteral("Label24"));
    QPalette link = Label24->palette();
    link.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label24->setPalette(link);
    Label24->setCursor(Qt::PointingHandCursor);
    twips::place(Label24, 1680, 6480, 720, 180);
    Label24->adjustSize();
    Label24->installEventFilter(this);

    List3 = new PhraseList(this);
    List3->setObjectName(QStringLiteral("List3"));
    List3->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::place(List3, 60, 6840, 2355, 3300);
    connect(List3, &PhraseList::chosen, this, &PhrasePanel::List3_Click);

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

void PhrasePanel::Text15_Change()
{
    // A failing query leaves the list empty, as a filter nothing matches.
    QStringList phrases;
    PhraseStore::matching(Text15->text(), phrases);
    List3->clear();
    List3->addItems(phrases);
}

void PhrasePanel::List3_Click(int row)
{
    QListWidgetItem* item = List3->item(row);
    if (item && m_entry) {
        m_entry->insertPhrase(item->text());
    }
}

void PhrasePanel::Label24_Click()
{
    PhraseLibraryWindow::showWindow();
}

bool PhrasePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        resize(width(), parentWidget()->height());
    } else if (watched == Label24 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && Label24->rect().contains(mouse->position().toPoint())) {
            Label24_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brenvoll
