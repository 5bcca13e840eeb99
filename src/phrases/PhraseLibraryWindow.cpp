#include "PhraseLibraryWindow.h"

#include "PhraseStore.h"
#include "app/MessageBox.h"
#include "app/Twips.h"
#include "mainwindow/MainWindow.h"
#include "record/DateRules.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace brenvoll {

QPointer<PhraseLibraryWindow> PhraseLibraryWindow::s_instance;

PhraseLibraryWindow* PhraseLibraryWindow::showWindow()
{
    if (!s_instance) {
        s_instance = new PhraseLibraryWindow();
        s_instance->Form_Load();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

PhraseLibraryWindow* PhraseLibraryWindow::loaded()
{
    return s_instance;
}

PhraseLibraryWindow::PhraseLibraryWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("词库编辑"));
    setAttribute(Qt::WA_DeleteOnClose);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::place(List1, 60, 120, 8235, 4200);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    twips::place(Text1, 60, 4440, 8235, 375);

    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        twips::place(b, left, 5040, 1155, 375);
        return b;
    };
    Command1 = button("Command1", QStringLiteral("添  加"), 4620);
    Command2 = button("Command2", QStringLiteral("删  除"), 5880);
    Command3 = button("Command3", QStringLiteral("退  出"), 7140);
    connect(Command1, &QPushButton::clicked, this, &PhraseLibraryWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PhraseLibraryWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &PhraseLibraryWindow::Command3_Click);

    Label1 = new QLabel(QStringLiteral("输入常用语后，再按添加按钮即可。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label1->setPalette(blue);
    twips::place(Label1, 120, 5100, 3135, 195);
    Label1->adjustSize();

    setTabOrder(Text1, List1);
    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    Text1->setFocus(Qt::OtherFocusReason);

    setFixedSize(twips::toPx(this, 8415), twips::toPx(this, 5655));
}

void PhraseLibraryWindow::Form_Load()
{
    twips::centreOnScreen(this);
    // A list that cannot be read stays as far as it was read.
    QStringList phrases;
    PhraseStore::all(phrases);
    List1->clear();
    List1->addItems(phrases);
}

void PhraseLibraryWindow::refillLists()
{
    // A library that cannot be read now leaves both lists as they were: an
    // emptied list would look like lost phrases.
    QStringList phrases;
    if (!PhraseStore::all(phrases)) {
        return;
    }
    List1->clear();
    List1->addItems(phrases);
    // The main window's list shows the whole library again, whatever its
    // filter box holds.
    if (MainWindow* main = MainWindow::instance()) {
        main->fillPhraseList();
    }
}

void PhraseLibraryWindow::Command1_Click()
{
    // Only the ASCII blank counts as empty: a full-width blank is text.
    if (trimBlanks(Text1->text()).isEmpty()) {
        return;
    }
    QString error;
    if (!PhraseStore::add(Text1->text(), &error)) {
        MessageBox::warning(this, QStringLiteral("常用语没有添加：") + error);
        return;
    }
    refillLists();
    Text1->clear();
    Text1->setFocus(Qt::OtherFocusReason);
}

void PhraseLibraryWindow::Command2_Click()
{
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int position = List1->row(selected.constFirst());
    QString error;
    if (!PhraseStore::removeAt(position, &error)) {
        MessageBox::warning(this, QStringLiteral("常用语没有删除：") + error);
    }
    refillLists();
    List1->setCurrentRow(-1);
}

void PhraseLibraryWindow::Command3_Click()
{
    close();
}

} // namespace brenvoll
