#include "DraftsWindow.h"

#include "SheetDrafts.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace brenvoll {

namespace {
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kLeftColumn = 3;
const QString kHint = QStringLiteral("下面是输入过、还没有保存的表格。选中一份，按“恢复”把它放回表格，"
                                     "再按“保存”存入记录。");
const QString kLeftByUncleanEnd = QStringLiteral("程序意外结束时留下");

// The column "情况": which run left the draft.
QString leftText(Draft::Left left)
{
    switch (left) {
    case Draft::Left::ThisRun:
        return QStringLiteral("本次输入");
    case Draft::Left::AtCleanClose:
        return QStringLiteral("关闭程序时保留");
    case Draft::Left::ByUncleanEnd:
        break;
    }
    return kLeftByUncleanEnd;
}
} // namespace

QPointer<DraftsWindow> DraftsWindow::s_instance;

DraftsWindow* DraftsWindow::showWindow(SheetDrafts& drafts)
{
    // A window left from a main window that is gone does not serve this one.
    if (s_instance && s_instance->m_drafts != &drafts) {
        delete s_instance;
    }
    DraftsWindow* window = singleWindow(s_instance, [&drafts] { return new DraftsWindow(drafts); });
    window->refresh();
    bringToFront(window);
    return window;
}

DraftsWindow* DraftsWindow::loaded()
{
    return s_instance;
}

DraftsWindow::DraftsWindow(SheetDrafts& drafts) : m_drafts(&drafts)
{
    setObjectName(QStringLiteral("DraftsWindow"));
    setWindowTitle(QStringLiteral("找回未保存的表格"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hint"));
    m_hint->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("draftList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels({QStringLiteral("姓名"), QStringLiteral("序列号"), QStringLiteral("最后输入时间"),
                             QStringLiteral("情况"), QStringLiteral("改动")});
    for (int column = 0; column < 4; ++column) {
        m_list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    m_list->header()->setStretchLastSection(true);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &DraftsWindow::updateButtons);
    // A double click or Enter on a line restores it.
    connect(m_list, &QTreeWidget::itemActivated, this, &DraftsWindow::restoreChosen);

    m_restore = new QPushButton(QStringLiteral("恢复"), this);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    connect(m_restore, &QPushButton::clicked, this, &DraftsWindow::restoreChosen);
    m_delete = new QPushButton(QStringLiteral("删除"), this);
    m_delete->setObjectName(QStringLiteral("deleteButton"));
    connect(m_delete, &QPushButton::clicked, this, &DraftsWindow::deleteChosen);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_restore);
    buttons->addWidget(m_delete);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_hint);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    enterPressesFocusedButton(this);

    // A draft written while the window is open shows at once.
    connect(&drafts, &SheetDrafts::changed, this, &DraftsWindow::refresh);
    resize(twips::toPx(this, 11000), twips::toPx(this, 5400));
    twips::centreOnScreen(this);
}

void DraftsWindow::refresh()
{
    const qint64 chosen = chosenId();
    m_list->clear();
    QString error;
    const std::vector<Draft> drafts = m_drafts ? m_drafts->list(&error) : std::vector<Draft>();
    int byUncleanEnd = 0;
    for (const Draft& draft : drafts) {
        auto* item = new QTreeWidgetItem(m_list, {draft.record[Field::Name], draft.record.key(),
                                                  draft.typedAt.toString(QStringLiteral("yyyy-MM-dd hh:mm")),
                                                  leftText(draft.left), draftChanges(draft)});
        item->setData(0, kIdRole, draft.id);
        if (draft.left == Draft::Left::ByUncleanEnd) {
            ++byUncleanEnd;
            QFont bold = item->font(kLeftColumn);
            bold.setBold(true);
            item->setFont(kLeftColumn, bold);
        }
        if (draft.id == chosen) {
            m_list->setCurrentItem(item);
        }
    }
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0) {
        m_list->setCurrentItem(m_list->topLevelItem(0));
    }
    const QString marked = byUncleanEnd == 0
                               ? QString()
                               : QStringLiteral("其中 %1 份是程序意外结束时留下的（“情况”一栏标为“%2”）。")
                                     .arg(QString::number(byUncleanEnd), kLeftByUncleanEnd);
    m_hint->setText(!drafts.empty()   ? kHint + marked
                    : error.isEmpty() ? QStringLiteral("没有未保存的表格。")
                                      : QStringLiteral("无法读取草稿：") + error);
    updateButtons();
}

qint64 DraftsWindow::chosenId() const
{
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    return chosen.isEmpty() ? 0 : chosen.constFirst()->data(0, kIdRole).toLongLong();
}

void DraftsWindow::updateButtons()
{
    const bool any = chosenId() > 0;
    m_restore->setEnabled(any);
    m_delete->setEnabled(any);
}

void DraftsWindow::restoreChosen()
{
    const qint64 id = chosenId();
    if (id <= 0) {
        return;
    }
    // The operator goes on with the sheet.
    close();
    emit restoreRequested(id);
}

void DraftsWindow::deleteChosen()
{
    const qint64 id = chosenId();
    QString error;
    // A dropped draft leaves the list through changed().
    if (id > 0 && m_drafts && !m_drafts->remove(id, &error)) {
        MessageBox::warning(this, QStringLiteral("草稿没有删除：") + error);
        refresh();
    }
}

} // namespace brenvoll
