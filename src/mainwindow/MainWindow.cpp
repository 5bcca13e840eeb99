#include "MainWindow.h"

#include "DeskLine.h"
#include "MainWindowCommands.h"
#include "backup/CloseBackup.h"
#include "base/Clock.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "phrases/PhrasePanel.h"
#include "record/DateRules.h"
#include "record/ResultModel.h"
#include "sheet/SheetEntry.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/ButtonKeys.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

#include <QCloseEvent>
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
QPointer<MainWindow> g_instance;

} // namespace

MainWindow* MainWindow::instance()
{
    return g_instance;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    g_instance = this;
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Brenvoll V2.0"));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    resize(px(15210), px(10170));

    m_toolbar = new QFrame(client);
    m_toolbar->setObjectName(QStringLiteral("Frame1"));
    twips::place(m_toolbar, 60, -60, 15135, 795);

    buildSearchPanel(client);

    m_phrasePanel = new PhrasePanel(client);
    m_phraseList = m_phrasePanel->phraseList();

    buildViewport(client);
    m_entry = new SheetEntry(m_sheet, this);
    m_drafts = new SheetDrafts(m_sheet, m_saver, this);
    m_phrasePanel->setEntry(m_entry);
    buildCommands(*this);
    // Right of the last toolbar button (退出, up to 8115 twips).
    m_deskLine = new DeskLine(m_toolbar, 8400);
    enterPressesFocusedButton(this);
}

MainWindow::~MainWindow() = default;

int MainWindow::px(double twips) const
{
    return twips::toPx(this, twips);
}

void MainWindow::buildSearchPanel(QWidget* client)
{
    m_searchPanel = new QFrame(client);
    m_searchPanel->setObjectName(QStringLiteral("Frame4"));
    m_searchPanel->setFrameShape(QFrame::StyledPanel);
    twips::place(m_searchPanel, 60, 720, 2385, 2415);

    auto caption = [this](const char* name, const QString& text, int l, int t, int w, int h) {
        auto* label = new QLabel(text, m_searchPanel);
        label->setObjectName(QString::fromLatin1(name));
        twips::place(label, l, t, w, h);
        label->adjustSize();
        return label;
    };
    auto edit = [this](const char* name, int l, int t, int w, int h) {
        auto* e = new QLineEdit(m_searchPanel);
        e->setObjectName(QString::fromLatin1(name));
        twips::place(e, l, t, w, h);
        return e;
    };
    caption("Label29", QStringLiteral("姓名"), 180, 300, 360, 180);
    m_nameFilter = edit("Text1", 660, 240, 1515, 315);
    caption("Label30", QStringLiteral("地址"), 180, 720, 360, 180);
    m_addressFilter = edit("Text2", 660, 660, 1515, 315);
    caption("Label31_0", QStringLiteral("日期"), 180, 1140, 360, 180);
    m_fromDate = edit("Text3", 660, 1080, 1515, 315);
    m_fromDate->setText(QStringLiteral("2016-05-07"));
    caption("Label31_1", QStringLiteral("至"), 360, 1560, 180, 180);
    m_toDate = edit("Text4", 660, 1500, 1515, 315);
    m_toDate->setText(QStringLiteral("2016-05-07"));
    m_searchButton = new QPushButton(QStringLiteral("查 询"), m_searchPanel);
    m_searchButton->setObjectName(QStringLiteral("Command1"));
    twips::place(m_searchButton, 1080, 1920, 1125, 350);
    connect(m_searchButton, &QPushButton::clicked, this, &MainWindow::search);
    for (QLineEdit* e : {m_nameFilter, m_addressFilter, m_fromDate, m_toDate}) {
        connect(e, &QLineEdit::returnPressed, this, &MainWindow::search);
    }

    m_results = new ResultModel(this);
    m_resultList = new QListView(client);
    m_resultList->setObjectName(QStringLiteral("List1"));
    m_resultList->setModel(m_results);
    m_resultList->setUniformItemSizes(true);
    m_resultList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_resultList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twips::place(m_resultList, 60, 3240, 2355, 2400);
    connect(m_resultList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { loadSelectedRecord(); });

    m_countLabel = new QLabel(QStringLiteral("记录数：0"), client);
    m_countLabel->setObjectName(QStringLiteral("Label1"));
    QPalette blue = m_countLabel->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_countLabel->setPalette(blue);
    twips::place(m_countLabel, 60, 5700, 810, 180);
    m_countLabel->setMinimumWidth(px(2355));
    // Whatever filled or emptied the list, the count tells its lines.
    connect(m_results, &QAbstractItemModel::modelReset, this, &MainWindow::showCount);
}

QLineEdit* MainWindow::box(Field field) const
{
    return m_sheet->box(field);
}

void MainWindow::fillPhraseList()
{
    m_phrasePanel->showWholeLibrary();
}

void MainWindow::loadOnStart()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    const QDate today = Clock::today();
    m_fromDate->setText(formatDate(oneYearBefore(today)));
    m_toDate->setText(formatDate(today));
    // With a server, each workstation keeps its drafts beside the program.
    m_drafts->open(Database::isShared() ? databasePath(programFolder()) : Database::filePath());
    const SheetDrafts::Replacement blank(*m_drafts);
    QPalette boxPalette;
    boxPalette.setColor(QPalette::Base, Qt::white);
    boxPalette.setColor(QPalette::Text, QColor(0, 0, 255));
    for (const BoxDef& def : FieldMap::boxes()) {
        QLineEdit* edit = box(def.field);
        edit->clear();
        edit->setPalette(boxPalette);
    }
    m_sheet->setTitle(sheetTitle());
    applySession();
    search();
    issueKey();
    fillPhraseList();
    // The operator starts typing at the name.
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

// Closing the main window: the day's backup, then the end of the program.
void MainWindow::closeEvent(QCloseEvent* event)
{
    hide();
    // The unsaved sheet is kept, and the drafts file is whole for the backup;
    // one the run could not use was told of when it started, and stays out.
    const bool withDrafts = !m_drafts->openFailed();
    m_drafts->closeCleanly();
    recordLogout();
    backUpOnClose(withDrafts);
    event->accept();
    endProgram();
}

} // namespace brenvoll
