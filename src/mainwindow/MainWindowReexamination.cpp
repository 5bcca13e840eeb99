// 复制上次体检: a resident's yearly re-examination starts from the last one.
#include "MainWindow.h"
#include "PersonChooser.h"
#include "base/Clock.h"
#include "base/TextRules.h"
#include "record/Reexamination.h"
#include "sheet/SheetView.h"
#include "ui/MessageBox.h"

#include <QLineEdit>

#include <algorithm>

namespace brenvoll {

namespace {
const QString kNoRecordMessage = QStringLiteral("没有找到此人的体检记录。");
const QString kReadMessage = QStringLiteral("无法读取记录：");
} // namespace

void MainWindow::copyLastExamination()
{
    choosePerson(QStringLiteral("复制上次体检"),
                 [this](const PersonRecords& person) { startNextExamination(person.latest.key); });
}

void MainWindow::choosePerson(const QString& title, const std::function<void(const PersonRecords&)>& chosen)
{
    // A stored record on the sheet names the person, its address telling
    // apart namesakes, and its sex and age the people of one name at one
    // address; on a new sheet the name typed does.
    QString name = box(Field::Name)->text();
    std::optional<PersonTraits> shownPerson;
    ExamRecord shown;
    if (RecordStore::load(box(Field::Key)->text(), shown)) {
        name = shown[Field::Name];
        shownPerson = personTraits(shown[Field::Address], shown[Field::Sex], shown[Field::Age], shown.date());
    }
    std::vector<PersonRecords> people;
    QString error;
    if (!RecordStore::recordsByPerson(name, people, &error)) {
        MessageBox::warning(this, kReadMessage + error);
        return;
    }
    if (shownPerson) {
        std::erase_if(people, [&shownPerson](const PersonRecords& person) {
            return person.latest.address != shownPerson->address;
        });
    }
    if (people.empty()) {
        MessageBox::notice(this, kNoRecordMessage);
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
    auto* chooser = new PersonChooser(trimBlanks(name), lines, current, this, title);
    connect(chooser, &PersonChooser::chosen, this, [people, chosen](const QString& key) {
        const auto person = std::ranges::find_if(
            people, [&key](const PersonRecords& candidate) { return candidate.latest.key == key; });
        if (person != people.end()) {
            chosen(*person);
        }
    });
    chooser->open();
}

void MainWindow::startNextExamination(const QString& key)
{
    ExamRecord last;
    QString error;
    if (!RecordStore::load(key, last, &error)) {
        MessageBox::warning(this, kReadMessage + error);
        return;
    }
    newRecord();
    const ExamRecord next = nextExamination(last, Clock::today());
    for (const BoxDef& def : FieldMap::boxes()) {
        if (def.field != Field::Key) {
            box(def.field)->setText(next[def.field]);
            box(def.field)->setCursorPosition(0);
        }
    }
    // What is new this year starts at the height.
    box(Field::Height)->setFocus(Qt::OtherFocusReason);
}

} // namespace brenvoll
