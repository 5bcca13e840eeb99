#include "PersonChooser.h"

#include "ui/Twips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace brenvoll {

PersonChooser::PersonChooser(const QString& name, const std::vector<LatestExam>& people, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("personChooser"));
    setWindowTitle(QStringLiteral("复制上次体检"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);

    auto* prompt = new QLabel(
        QStringLiteral("有多位“") + name + QStringLiteral("”的体检记录，请选择此人的地址："), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    prompt->setTextFormat(Qt::PlainText);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("personList"));
    for (const LatestExam& person : people) {
        const QString address = person.address.isEmpty() ? QStringLiteral("（未填地址）") : person.address;
        auto* item = new QListWidgetItem(address + u'[' + person.date + u']', m_list);
        item->setData(Qt::UserRole, person.key);
    }
    m_list->setCurrentRow(0);

    m_ok = new QPushButton(QStringLiteral("确定"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    resize(qMax(sizeHint().width(), twips::toPx(this, 5400)), twips::toPx(this, 3600));
    twips::centreOnScreen(this);

    // Enter in the list reaches the default button 确定.
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(this, &QDialog::accepted, this, [this] {
        if (const QListWidgetItem* item = m_list->currentItem()) {
            emit chosen(item->data(Qt::UserRole).toString());
        }
    });
}

} // namespace brenvoll
