#include "MainWindow.h"

#include "DeskLine.h"
#include "Features.h"
#include "Icons.h"
#include "SearchPanel.h"
#include "accountwindows/AccountCommands.h"
#include "backup/CloseBackup.h"
#include "base/Clock.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "phrases/PhrasePanel.h"
#include "record/DateRules.h"
#include "record/VersionStamp.h"
#include "sheet/SheetEntry.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QFrame>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>

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

    m_search = new SearchPanel(client);
    connect(m_search, &SearchPanel::searchRequested, this, &MainWindow::search);
    connect(m_search, &SearchPanel::selectionChanged, this, [this] { loadSelectedRecord(); });

    auto* phrasePanel = new PhrasePanel(client);
    m_phraseList = phrasePanel->phraseList();

    buildViewport(client);
    auto* entry = new SheetEntry(m_sheet, this);
    m_drafts = new SheetDrafts(m_sheet, m_saver, this);
    phrasePanel->setEntry(entry);

    initIcons();
    setWindowIcon(QIcon(QStringLiteral(":/mainwindow/icons/brenvoll.svg")));
    m_commands.setRefusal([this] {
        MessageBox::warning(this, Session::refusal());
        applySession(); // a role taken away elsewhere greys its commands now
    });
    addOwnCommands();
    addFeatures(*this, *m_drafts);
    m_commands.build(*this, m_toolbar);
    // Right of the last toolbar button (退出, up to 8115 twips).
    new DeskLine(m_toolbar, 8400);
    enterPressesFocusedButton(this);
}

MainWindow::~MainWindow() = default;

int MainWindow::px(double twips) const
{
    return twips::toPx(this, twips);
}

QLineEdit* MainWindow::box(Field field) const
{
    return m_sheet->box(field);
}

void MainWindow::loadOnStart()
{
    setWindowState(windowState() | Qt::WindowMaximized);
    const QDate today = Clock::today();
    m_search->setDays(formatDate(oneYearBefore(today)), formatDate(today));
    // With a server, each workstation keeps its drafts beside the program.
    m_drafts->open(Database::isShared() ? databasePath(dataFolder()) : Database::filePath());
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
    putFreshKey();
    findChild<PhrasePanel*>()->showWholeLibrary();
    // The operator starts typing at the name.
    box(Field::Name)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::applySession()
{
    VersionStamp::setOperator(Session::versionOperator());
    findChild<DeskLine*>()->showDesk(DatabasePlace::current(), Session::operatorLine());
    m_commands.applyGates();
    for (const auto& hook : m_sessionHooks) {
        hook();
    }
}

bool MainWindow::allowed(Command command)
{
    if (Session::may(command)) {
        return true;
    }
    MessageBox::warning(this, Session::refusal());
    applySession(); // a role taken away elsewhere greys its commands now
    return false;
}

void MainWindow::setSheetHidden(bool hidden)
{
    centralWidget()->setHidden(hidden);
    menuBar()->setEnabled(!hidden);
}

// Closing the main window: the day's backup, then the end of the program.
void MainWindow::closeEvent(QCloseEvent* event)
{
    hide();
    // The unsaved sheet is kept, and the drafts file is whole for the backup;
    // one the run could not use was told of when it started, and stays out.
    const bool withDrafts = !m_drafts->openFailed();
    m_drafts->closeCleanly();
    AccountCommands::recordLogout();
    backUpOnClose(withDrafts);
    event->accept();
    endProgram();
}

} // namespace brenvoll
