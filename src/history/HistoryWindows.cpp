#include "HistoryWindows.h"

#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brenvoll {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
// Changed boxes named on a line of the versions.
constexpr int kCaptionsShown = 3;

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons) {
        row->addWidget(button);
    }
    return row;
}
} // namespace

VersionsWindow::VersionsWindow(std::vector<RecordVersion> versions, const ExamRecord& stored, QWidget* parent)
    : QDialog(parent), m_versions(std::move(versions))
{
    setObjectName(QStringLiteral("VersionsWindow"));
    setWindowTitle(QStringLiteral("历史版本"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The sheet shows a version read-only while the window is open.
    setModal(true);

    auto* hint = new QLabel(QStringLiteral("选中一个版本，表格上显示它（只读），与现存记录不同的格子着色。"
                                           "“恢复此版本”把它放回表格，再按“保存”存入记录。"),
                            this);
    hint->setWordWrap(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("versionList"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (size_t i = 0; i < m_versions.size(); ++i) {
        const ExamRecord& after = i == 0 ? stored : m_versions[i - 1].record;
        m_list->addItem(lineText(m_versions[i], after));
    }
    m_restore = new QPushButton(QStringLiteral("恢复此版本"), this);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_restore->setEnabled(false);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        const int row = m_list->currentRow();
        if (row >= 0) {
            emit restoreRequested(row);
            accept();
        }
    });
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_restore->setEnabled(row >= 0 && m_restoreAllowed);
        emit versionChosen(row);
    });

    // The lines' columns, and what a desk is.
    auto* headings = new QLabel(QStringLiteral("时间  操作  操作员  工作站  与后一版本不同的格子\n"
                                               "（工作站：保存这个版本的电脑的名称）"),
                                this);
    headings->setObjectName(QStringLiteral("versionHeadings"));
    // Down or Up in a list without a current line shows the first, also
    // when it is the only one.
    m_list->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(headings);
    layout->addWidget(m_list);
    layout->addLayout(buttonRow({m_restore, close}));
    resize(760, 420);
    enterPressesFocusedButton(this);
}

bool VersionsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress && m_list->currentRow() < 0 &&
        m_list->count() > 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            m_list->setCurrentRow(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void VersionsWindow::setRestoreAllowed(bool allowed)
{
    m_restoreAllowed = allowed;
    m_restore->setEnabled(allowed);
}

QString VersionsWindow::lineText(const RecordVersion& version, const ExamRecord& after)
{
    const VersionStamp& stamp = version.stamp;
    QString line = stamp.time + QStringLiteral("  ") + stamp.action + QStringLiteral("  ") +
                   stamp.operatorName + QStringLiteral("  ") + stamp.desk;
    const QList<Field> changed = RecordHistory::differences(version.record, after);
    if (!changed.isEmpty()) {
        line += QStringLiteral("  ") + RecordHistory::captionList(changed, kCaptionsShown);
    }
    return line;
}

DeletedRecordsWindow::DeletedRecordsWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("DeletedRecordsWindow"));
    setWindowTitle(QStringLiteral("已删除的记录"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("deletedList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels({QStringLiteral("姓名"), QStringLiteral("序列号"), QStringLiteral("体检日期"),
                             QStringLiteral("删除时间"), QStringLiteral("删除者")});
    for (int column = 0; column < 4; ++column) {
        m_list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    m_list->header()->setStretchLastSection(true);
    connect(m_list, &QTreeWidget::itemActivated, this, &DeletedRecordsWindow::restoreChosen);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_restore->setEnabled(!m_list->selectedItems().isEmpty()); });

    m_restore = new QPushButton(QStringLiteral("恢复"), this);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_restore->setEnabled(false);
    connect(m_restore, &QPushButton::clicked, this, &DeletedRecordsWindow::restoreChosen);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* about = new QLabel(QStringLiteral("这里列出已删除的体检记录。选中一条，按“恢复”把它存回记录中，"
                                            "原来的序列号已被其他记录使用时改用新的序列号。"),
                             this);
    about->setObjectName(QStringLiteral("deletedHint"));
    about->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(about);
    layout->addWidget(m_list);
    layout->addLayout(buttonRow({m_restore, close}));
    resize(720, 400);
    enterPressesFocusedButton(this);
}

bool DeletedRecordsWindow::refresh()
{
    std::vector<DeletedRecord> records;
    QString error;
    m_list->clear();
    if (!RecordHistory::deleted(records, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取已删除的记录：") + error);
        return false;
    }
    for (const DeletedRecord& record : records) {
        auto* item = new QTreeWidgetItem(m_list, {record.name, record.key, record.date, record.stamp.time,
                                                  record.stamp.operatorName + u' ' + record.stamp.desk});
        item->setData(0, kIdRole, record.id);
    }
    m_restore->setEnabled(false);
    return true;
}

void DeletedRecordsWindow::restoreChosen()
{
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    if (!chosen.isEmpty()) {
        emit restoreRequested(chosen.constFirst()->data(0, kIdRole).toLongLong());
    }
}

} // namespace brenvoll
