#include "MainWindow.h"

#include "MainWindowCommands.h"
#include "app/Clock.h"
#include "app/EncodedText.h"
#include "app/Twips.h"
#include "phrases/PhrasePanel.h"
#include "phrases/PhraseStore.h"
#include "phrases/SheetEntry.h"
#include "record/ResultList.h"
#include "record/SheetView.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>

namespace brenvoll {

namespace {
QPointer<MainWindow> g_form1;

} // namespace

MainWindow* MainWindow::instance()
{
    return g_form1;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    g_form1 = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brenvoll V2.0"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    resize(px(15210), px(10170));

    Frame1 = new QFrame(client);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    twips::place(Frame1, 60, -60, 15135, 795);

    buildSearchPanel(client);

    m_phrasePanel = new PhrasePanel(client);
    List3 = m_phrasePanel->List3;

    buildViewport(client);
    m_entry = new SheetEntry(Picture5, this);
    m_phrasePanel->setEntry(m_entry);
    buildCommands(*this);
}

MainWindow::~MainWindow() = default;

int MainWindow::px(double twips) const
{
    return twips::toPx(this, twips);
}

void MainWindow::buildSearchPanel(QWidget* client)
{
    Frame4 = new QFrame(client);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setFrameShape(QFrame::StyledPanel);
    twips::place(Frame4, 60, 720, 2385, 2415);

    auto caption = [this](const char* name, const QString& text, int l, int t, int w, int h) {
        auto* label = new QLabel(text, Frame4);
        label->setObjectName(QString::fromLatin1(name));
        twips::place(label, l, t, w, h);
        label->adjustSize();
        return label;
    };
    auto edit = [this](const char* name, int l, int t, int w, int h) {
        auto* e = new QLineEdit(Frame4);
        e->setObjectName(QString::fromLatin1(name));
        twips::place(e, l, t, w, h);
        return e;
    };
    caption("Label29", QStringLiteral("姓名"), 180, 300, 360, 180);
    Text1 = edit("Text1", 660, 240, 1515, 315);
    caption("Label30", QStringLiteral("地址"), 180, 720, 360, 180);
    Text2 = edit("Text2", 660, 660, 1515, 315);
    caption("Label31_0", QStringLiteral("日期"), 180, 1140, 360, 180);
    Text3 = edit("Text3", 660, 1080, 1515, 315);
    Text3->setText(QStringLiteral("2016-05-07"));
    caption("Label31_1", QStringLiteral("至"), 360, 1560, 180, 180);
    Text4 = edit("Text4", 660, 1500, 1515, 315);
    Text4->setText(QStringLiteral("2016-05-07"));
    Command1 = new QPushButton(QStringLiteral("查 询"), Frame4);
    Command1->setObjectName(QStringLiteral("Command1"));
    twips::place(Command1, 1080, 1920, 1125, 350);
    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    for (QLineEdit* e : {Text1, Text2, Text3, Text4}) {
        connect(e, &QLineEdit::returnPressed, this, &MainWindow::Command1_Click);
    }

    m_results = new ResultModel(this);
    List1 = new QListView(client);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setModel(m_results);
    List1->setUniformItemSizes(true);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twips::place(List1, 60, 3240, 2355, 2400);
    connect(List1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { List1_Click(); });

    Label1 = new QLabel(QStringLiteral("记录数：0"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label1->setPalette(blue);
    twips::place(Label1, 60, 5700, 810, 180);
    Label1->setMinimumWidth(px(2355));
}

QLineEdit* MainWindow::box(Field field) const
{
    return Picture5->box(field);
}

void MainWindow::fillPhraseList()
{
    // A library that cannot be read leaves the list as it was.
    QStringList phrases;
    if (!PhraseStore::all(phrases)) {
        return;
    }
    List3->clear();
    List3->addItems(phrases);
}

void MainWindow::Form_Load()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    const QDate today = Clock::today();
    Text3->setText(formatDate(oneYearBefore(today)));
    Text4->setText(formatDate(today));
    QPalette boxPalette;
    boxPalette.setColor(QPalette::Base, Qt::white);
    boxPalette.setColor(QPalette::Text, QColor(0, 0, 255));
    for (const BoxDef& def : FieldMap::boxes()) {
        QLineEdit* edit = box(def.field);
        edit->clear();
        edit->setPalette(boxPalette);
    }
    Picture5->setTitle(sheetTitle());
    Command1_Click();
    box(Field::Key)->setText(m_keys.issue(Clock::now(), [](const QString& key) {
        return RecordStore::exists(key);
    }));
    fillPhraseList();
    // The operator starts typing at the name.
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

} // namespace brenvoll
