#include "PersonChooser.h"

#include "record/ValueFlags.h"
#include "ui/Twips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace brenvoll {

namespace {

// 地址，性别，年龄[日期]: the age as a number of years, or as typed.
QString personLine(const LatestExam& person)
{
    QStringList parts{person.address.isEmpty() ? QStringLiteral("（未填地址）") : person.address};
    if (!person.sex.isEmpty()) {
        parts << person.sex;
    }
    if (!person.age.isEmpty()) {
        parts << (sheetNumber(person.age) ? person.age + u'岁' : person.age);
    }
    return parts.join(u'，') + u'[' + person.date + u']';
}

// Whether two of the people share an address, so that the address alone
// does not tell them apart.
bool sharesAddress(const std::vector<LatestExam>& people)
{
    QSet<QString> addresses;
    for (const LatestExam& person : people) {
        addresses.insert(person.address);
    }
    return addresses.size() < qsizetype(people.size());
}

} // namespace

PersonChooser::PersonChooser(const QString& name, const std::vector<LatestExam>& people, int current,
                             QWidget* parent, const QString& title)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("personChooser"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);

    const QString choose = sharesAddress(people)
                               ? QStringLiteral("”的体检记录，请按地址、性别和年龄选择此人：")
                               : QStringLiteral("”的体检记录，请选择此人的地址：");
    auto* prompt = new QLabel(QStringLiteral("有多位“") + name + choose, this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    prompt->setTextFormat(Qt::PlainText);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("personList"));
    for (const LatestExam& person : people) {
        auto* item = new QListWidgetItem(personLine(person), m_list);
        item->setData(Qt::UserRole, person.key);
    }
    m_list->setCurrentRow(current);

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
