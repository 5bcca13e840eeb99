#include "PersonChooser.h"

#include "SheetHost.h"
#include "SheetView.h"
#include "base/TextRules.h"
#include "record/Reexamination.h"
#include "record/ValueFlags.h"
#include "ui/MessageBox.h"
#include "ui/Twips.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

#include <algorithm>

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

namespace brenvoll {

namespace {
const QString kNoRecordMessage = QStringLiteral("没有找到此人的体检记录。");
} // namespace

void choosePerson(SheetHost& host, const QString& title,
                  const std::function<void(const PersonRecords&)>& chosen)
{
    QWidget* parent = host.hostWidget();
    // A stored record on the sheet names the person, its address telling
    // apart namesakes, and its sex and age the people of one name at one
    // address; on a new sheet the name typed does.
    QString name = host.sheet()->box(Field::Name)->text();
    std::optional<PersonTraits> shownPerson;
    ExamRecord shown;
    if (RecordStore::load(host.sheet()->box(Field::Key)->text(), shown)) {
        name = shown[Field::Name];
        shownPerson = personTraits(shown[Field::Address], shown[Field::Sex], shown[Field::Age], shown.date());
    }
    std::vector<PersonRecords> people;
    QString error;
    if (!RecordStore::recordsByPerson(name, people, &error)) {
        MessageBox::warning(parent, QStringLiteral("无法读取记录：") + error);
        return;
    }
    if (shownPerson) {
        std::erase_if(people, [&shownPerson](const PersonRecords& person) {
            return person.latest.address != shownPerson->address;
        });
    }
    if (people.empty()) {
        MessageBox::notice(parent, kNoRecordMessage);
        return;
    }
    if (people.size() == 1) {
        chosen(people.front());
        return;
    }
    // The person of the record shown comes highlighted.
    int current = 0;
    if (shownPerson) {
        const auto same = std::ranges::find_if(people, [&shownPerson](const PersonRecords& person) {
            const LatestExam& latest = person.latest;
            return samePerson(personTraits(latest.address, latest.sex, latest.age, latest.date),
                              *shownPerson);
        });
        current = same == people.end() ? 0 : int(same - people.begin());
    }
    std::vector<LatestExam> lines;
    lines.reserve(people.size());
    for (const PersonRecords& person : people) {
        lines.push_back(person.latest);
    }
    auto* chooser = new PersonChooser(trimBlanks(name), lines, current, parent, title);
    QObject::connect(chooser, &PersonChooser::chosen, parent, [people, chosen](const QString& key) {
        const auto person = std::ranges::find_if(
            people, [&key](const PersonRecords& candidate) { return candidate.latest.key == key; });
        if (person != people.end()) {
            chosen(*person);
        }
    });
    chooser->open();
}

} // namespace brenvoll
