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
    std::vector<LatestExam> people;
    QString error;
    if (!RecordStore::latestByPerson(name, people, &error)) {
        MessageBox::warning(this, kReadMessage + error);
        return;
    }
    if (shownPerson) {
        std::erase_if(people, [&shownPerson](const LatestExam& person) {
            return person.address != shownPerson->address;
        });
    }
    if (people.empty()) {
        MessageBox::notice(this, kNoRecordMessage);
        return;
    }
    if (people.size() == 1) {
        startNextExamination(people.front().key);
        return;
    }
    // The person of the record shown comes highlighted.
    int current = 0;
    if (shownPerson) {
        const auto same = std::ranges::find_if(people, [&shownPerson](const LatestExam& person) {
            return samePerson(personTraits(person.address, person.sex, person.age, person.date),
                              *shownPerson);
        });
        current = same == people.end() ? 0 : int(same - people.begin());
    }
    auto* chooser = new PersonChooser(trimBlanks(name), people, current, this);
    connect(chooser, &PersonChooser::chosen, this, &MainWindow::startNextExamination);
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
