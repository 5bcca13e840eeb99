#include "RestoreWindow.h"

#include "ProgressWindow.h"
#include "SchemaUpgrade.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

namespace brenvoll {

namespace {

enum Column
{
    DayColumn,
    TimeColumn,
    SizeColumn,
    RecordsColumn,
    StateColumn,
    ButtonColumn,
    ColumnCount,
};

QString shownTime(const BackupCopy& copy)
{
    return copy.modified.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(alignment);
    return item;
}

} // namespace

QPointer<RestoreWindow> RestoreWindow::s_instance;

RestoreWindow* RestoreWindow::showWindow()
{
    return showSingleWindow(s_instance, [] {
        auto* window = new RestoreWindow();
        window->fill();
        return window;
    });
}

RestoreWindow* RestoreWindow::loaded()
{
    return s_instance;
}

RestoreWindow::RestoreWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RestoreWindow"));
    setWindowTitle(QStringLiteral("恢复备份"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPx(this, 10200), twips::toPx(this, 5760));

    m_foldersLabel = new QLabel(this);
    m_foldersLabel->setObjectName(QStringLiteral("foldersLabel"));
    m_foldersLabel->setWordWrap(true);
    twips::place(m_foldersLabel, 180, 120, 9840, 600);

    m_list = new QTableWidget(0, ColumnCount, this);
    m_list->setObjectName(QStringLiteral("backupList"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("日期文件夹"), QStringLiteral("备份时间"),
                                       QStringLiteral("大小"), QStringLiteral("记录数"),
                                       QStringLiteral("状态"), QString()});
    m_list->verticalHeader()->hide();
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const int widths[ColumnCount] = {1080, 1980, 1260, 1260, 3060, 900};
    for (int column = 0; column < ColumnCount; ++column) {
        m_list->setColumnWidth(column, twips::toPx(this, widths[column]));
    }
    m_list->horizontalHeader()->setSectionResizeMode(StateColumn, QHeaderView::Stretch);
    twips::place(m_list, 180, 780, 9840, 4200);

    m_closeButton = new QPushButton(QStringLiteral("关 闭"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    twips::place(m_closeButton, 8820, 5160, 1200, 375);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::close);

    // Checking stops with the program, wherever the window is then.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &RestoreWindow::stopChecking);
    twips::centreOnScreen(this);
}

RestoreWindow::~RestoreWindow()
{
    stopChecking();
}

void RestoreWindow::stopChecking()
{
    if (m_checker) {
        m_cancel = true;
        m_checker->wait();
        m_checker.reset();
    }
}

void RestoreWindow::fill()
{
    const QString backupFolder = Backup::folderOf(CurrentSettings::get().backupFolder());
    QStringList folders{QDir::toNativeSeparators(backupFolder)};
    if (QFileInfo(backupFolder).canonicalFilePath() != QFileInfo(QDir::homePath()).canonicalFilePath()) {
        folders << QDir::toNativeSeparators(QDir::homePath());
    }
    // The databases kept before earlier restores lie beside the database:
    // offered too, a restore can be undone here.
    const QString database = Database::isOpen() ? Database::filePath() : databasePath(programFolder());
    m_copies = Restore::find(folders, database);
    m_foldersLabel->setText((m_copies.isEmpty() ? QStringLiteral("没有找到备份。查找的位置：")
                                                : QStringLiteral("备份所在的位置：")) +
                            folders.join(QStringLiteral("、")) +
                            QStringLiteral(" 中的日期文件夹（1日 … 31日），以及 ") +
                            QDir::toNativeSeparators(QFileInfo(database).absolutePath()) +
                            QStringLiteral(" 中恢复前另存的数据库"));

    m_list->setRowCount(int(m_copies.size()));
    for (int row = 0; row < m_copies.size(); ++row) {
        const BackupCopy& copy = m_copies[row];
        m_list->setItem(row, DayColumn, cell(copy.dayFolder));
        m_list->setItem(row, TimeColumn, cell(shownTime(copy)));
        m_list->setItem(
            row, SizeColumn,
            cell(QLocale::system().formattedDataSize(copy.size, 1, QLocale::DataSizeTraditionalFormat),
                 Qt::AlignRight | Qt::AlignVCenter));
        m_list->setItem(row, RecordsColumn, cell(QString(), Qt::AlignRight | Qt::AlignVCenter));
        m_list->setItem(row, StateColumn, cell(QStringLiteral("正在检查…")));
        m_list->item(row, DayColumn)->setToolTip(QDir::toNativeSeparators(copy.path));
        auto* button = new QPushButton(QStringLiteral("恢复"));
        button->setObjectName(QStringLiteral("restoreButton_%1").arg(row));
        button->setEnabled(false); // until the copy is found sound
        connect(button, &QPushButton::clicked, this, [this, row] { restoreLine(row); });
        m_list->setCellWidget(row, ButtonColumn, button);
    }

    m_unchecked = int(m_copies.size());
    QStringList paths;
    for (const BackupCopy& copy : std::as_const(m_copies)) {
        paths << copy.path;
    }
    m_checker.reset(QThread::create([this, paths] {
        for (int row = 0; row < paths.size() && !m_cancel; ++row) {
            const CopyState state = Restore::inspect(paths[row], &m_cancel);
            QMetaObject::invokeMethod(
                this, [this, row, state] { showState(row, state); }, Qt::QueuedConnection);
        }
    }));
    m_checker->start();
}

bool RestoreWindow::isChecking() const
{
    return m_unchecked > 0;
}

QPushButton* RestoreWindow::restoreButton(int row) const
{
    return qobject_cast<QPushButton*>(m_list->cellWidget(row, ButtonColumn));
}

void RestoreWindow::showState(int row, const CopyState& state)
{
    if (row >= m_list->rowCount()) {
        return;
    }
    m_list->item(row, RecordsColumn)
        ->setText(state.records >= 0 ? QString::number(state.records) : QString());
    const QString text = state.sound ? QStringLiteral("完好") : QStringLiteral("损坏：") + state.problem;
    m_list->item(row, StateColumn)->setText(text);
    m_list->item(row, StateColumn)->setToolTip(text);
    restoreButton(row)->setEnabled(state.sound);
    --m_unchecked;
}

QString RestoreWindow::failureMessage(const Restore& restore) const
{
    if (restore.failedStep() == Restore::Step::Reopen) {
        return QStringLiteral("备份已经恢复，但程序无法重新打开数据库，请重新启动程序。\n原因：%1")
            .arg(restore.error());
    }
    return QStringLiteral("恢复没有完成，“%1”保持原样。\n没有完成的一步：%2\n原因：%3")
        .arg(QFileInfo(restore.databaseFile()).fileName(), Restore::stepName(restore.failedStep()),
             restore.error());
}

void RestoreWindow::restoreLine(int row)
{
    if (row < 0 || row >= m_copies.size() || !restoreButton(row)->isEnabled()) {
        return;
    }
    const BackupCopy copy = m_copies[row];
    const QString database = Database::isOpen() ? Database::filePath() : databasePath(programFolder());
    Restore restore(copy.path, database, Clock::now());
    if (!MessageBox::askYesNo(this, QStringLiteral("用 %1 的备份替换当前数据库？当前数据库将先另存为 %2。")
                                        .arg(shownTime(copy), QFileInfo(restore.safetyCopy()).fileName()))) {
        return;
    }
    bool prepared = false;
    ProgressWindow::run(QStringLiteral("正在恢复备份…"),
                        [&](const Backup::Progress& progress) { prepared = restore.prepare(progress); });
    if (!prepared || !restore.replace()) {
        MessageBox::warning(this, failureMessage(restore));
        return;
    }
    // A settings copy loaded only to be read belongs to the old database.
    if (SettingsWindow* settings = SettingsWindow::loaded(); settings && !settings->isVisible()) {
        delete settings;
    }
    if (!SettingsWindow::loaded()) {
        CurrentSettings::drop();
    }
    // A copy made by an older program gets what this one adds, before the
    // windows read it again.
    SchemaUpgrade::runAndTell(this, Clock::now());
    emit restored();
    MessageBox::notice(this, QStringLiteral("已恢复 %1 的备份。").arg(shownTime(copy)));
}

} // namespace brenvoll
