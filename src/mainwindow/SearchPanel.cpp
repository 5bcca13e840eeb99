#include "SearchPanel.h"

#include "record/ResultModel.h"
#include "ui/Twips.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

namespace brenvoll {

namespace {
const QString kCountCaption = QStringLiteral("计录数：");
} // namespace

SearchPanel::SearchPanel(QWidget* client) : QObject(client)
{
    auto* frame = new QFrame(client);
    frame->setObjectName(QStringLiteral("Frame4"));
    frame->setFrameShape(QFrame::StyledPanel);
    twips::place(frame, 60, 720, 2385, 2415);

    auto caption = [frame](const char* name, const QString& text, int l, int t, int w, int h) {
        auto* label = new QLabel(text, frame);
        label->setObjectName(QString::fromLatin1(name));
        twips::place(label, l, t, w, h);
        label->adjustSize();
        return label;
    };
    auto edit = [frame](const char* name, int l, int t, int w, int h) {
        auto* e = new QLineEdit(frame);
        e->setObjectName(QString::fromLatin1(name));
        twips::place(e, l, t, w, h);
        return e;
    };
    caption("Label29", QStringLiteral("姓名"), 180, 300, 360, 180);
    m_nameFilter = edit("Text1", 660, 240, 1515, 315);
    caption("Label30", QStringLiteral("地址"), 180, 720, 360, 180);
    m_addressFilter = edit("Text2", 660, 660, 1515, 315);
    caption("Label31_0", QStringLiteral("日期"), 180, 1140, 360, 180);
    m_firstDay = edit("Text3", 660, 1080, 1515, 315);
    m_firstDay->setText(QStringLiteral("2016-05-07"));
    caption("Label31_1", QStringLiteral("至"), 360, 1560, 180, 180);
    m_lastDay = edit("Text4", 660, 1500, 1515, 315);
    m_lastDay->setText(QStringLiteral("2016-05-07"));
    auto* button = new QPushButton(QStringLiteral("查 询"), frame);
    button->setObjectName(QStringLiteral("Command1"));
    twips::place(button, 1080, 1920, 1125, 350);
    connect(button, &QPushButton::clicked, this, &SearchPanel::searchRequested);
    for (QLineEdit* e : {m_nameFilter, m_addressFilter, m_firstDay, m_lastDay}) {
        connect(e, &QLineEdit::returnPressed, this, &SearchPanel::searchRequested);
    }

    m_results = new ResultModel(client);
    m_list = new QListView(client);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setModel(m_results);
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    twips::place(m_list, 60, 3240, 2355, 2400);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SearchPanel::selectionChanged);

    auto* count = new QLabel(QStringLiteral("记录数：0"), client);
    count->setObjectName(QStringLiteral("Label1"));
    QPalette blue = count->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    count->setPalette(blue);
    twips::place(count, 60, 5700, 810, 180);
    count->setMinimumWidth(twips::toPx(client, 2355));
    // Whatever filled or emptied the list, the count tells its lines.
    connect(m_results, &QAbstractItemModel::modelReset, count,
            [this, count] { count->setText(kCountCaption + QString::number(m_results->count())); });
}

SearchFilter SearchPanel::filter() const
{
    return SearchFilter{m_nameFilter->text(), m_addressFilter->text(), m_firstDay->text(), m_lastDay->text()};
}

QString SearchPanel::firstDay() const
{
    return m_firstDay->text();
}

QString SearchPanel::lastDay() const
{
    return m_lastDay->text();
}

void SearchPanel::setDays(const QString& first, const QString& last)
{
    m_firstDay->setText(first);
    m_lastDay->setText(last);
}

void SearchPanel::showDay(const QString& date)
{
    m_nameFilter->clear();
    m_addressFilter->clear();
    setDays(date, date);
}

int SearchPanel::selectedLine() const
{
    const QModelIndexList selected = m_list->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.constFirst().row();
}

void SearchPanel::selectLine(int k)
{
    if (k < 0 || k >= m_results->count()) {
        m_list->selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_results->index(k);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_list->scrollTo(index);
}

} // namespace brenvoll
