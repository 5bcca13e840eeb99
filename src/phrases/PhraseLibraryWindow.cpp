#include "PhraseLibraryWindow.h"

#include "PhraseStore.h"
#include "base/TextRules.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace brenvoll {

QPointer<PhraseLibraryWindow> PhraseLibraryWindow::s_instance;

PhraseLibraryWindow* PhraseLibraryWindow::showWindow()
{
    return showSingleWindow(s_instance, [] {
        auto* window = new PhraseLibraryWindow();
        window->loadOnOpen();
        return window;
    });
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

    m_phraseList = new QListWidget(this);
    m_phraseList->setObjectName(QStringLiteral("List1"));
    m_phraseList->setSelectionMode(QAbstractItemView::SingleSelection);
    twips::place(m_phraseList, 60, 120, 8235, 4200);

    m_newPhrase = new QLineEdit(this);
    m_newPhrase->setObjectName(QStringLiteral("Text1"));
    twips::place(m_newPhrase, 60, 4440, 8235, 375);

    auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        twips::place(b, left, 5040, 1155, 375);
        return b;
    };
    m_addButton = button("Command1", QStringLiteral("添  加"), 4620);
    m_deleteButton = button("Command2", QStringLiteral("删  除"), 5880);
    m_exitButton = button("Command3", QStringLiteral("退  出"), 7140);
    connect(m_addButton, &QPushButton::clicked, this, &PhraseLibraryWindow::addPhrase);
    connect(m_deleteButton, &QPushButton::clicked, this, &PhraseLibraryWindow::deleteSelectedPhrase);
    connect(m_exitButton, &QPushButton::clicked, this, &PhraseLibraryWindow::exitEditor);

    m_hintLabel = new QLabel(QStringLiteral("输入常用语后，再按添加按钮即可。"), this);
    m_hintLabel->setObjectName(QStringLiteral("Label1"));
    QPalette blue = m_hintLabel->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_hintLabel->setPalette(blue);
    twips::place(m_hintLabel, 120, 5100, 3135, 195);
    m_hintLabel->adjustSize();

    setTabOrder(m_newPhrase, m_phraseList);
    setTabOrder(m_phraseList, m_addButton);
    setTabOrder(m_addButton, m_deleteButton);
    setTabOrder(m_deleteButton, m_exitButton);
    m_newPhrase->setFocus(Qt::OtherFocusReason);
    enterPressesFocusedButton(this);

    setFixedSize(twips::toPx(this, 8415), twips::toPx(this, 5655));
}

void PhraseLibraryWindow::loadOnOpen()
{
    twips::centreOnScreen(this);
    // A list that cannot be read stays as far as it was read.
    QStringList phrases;
    PhraseStore::all(phrases);
    m_phraseList->clear();
    m_phraseList->addItems(phrases);
}

void PhraseLibraryWindow::refillLists()
{
    // A library that cannot be read now leaves both lists as they were: an
    // emptied list would look like lost phrases.
    QStringList phrases;
    if (!PhraseStore::all(phrases)) {
        return;
    }
    m_phraseList->clear();
    m_phraseList->addItems(phrases);
    // The opener's list shows the whole library again, whatever its filter
    // box holds.
    emit phrasesChanged();
}

void PhraseLibraryWindow::addPhrase()
{
    // Only the ASCII blank counts as empty: a full-width blank is text.
    if (trimBlanks(m_newPhrase->text()).isEmpty()) {
        return;
    }
    QString error;
    if (!PhraseStore::add(m_newPhrase->text(), &error)) {
        MessageBox::warning(this, QStringLiteral("常用语没有添加：") + error);
        return;
    }
    refillLists();
    m_newPhrase->clear();
    m_newPhrase->setFocus(Qt::OtherFocusReason);
}

void PhraseLibraryWindow::deleteSelectedPhrase()
{
    const QList<QListWidgetItem*> selected = m_phraseList->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const int position = m_phraseList->row(selected.constFirst());
    QString error;
    if (!PhraseStore::removeAt(position, &error)) {
        MessageBox::warning(this, QStringLiteral("常用语没有删除：") + error);
    }
    refillLists();
    m_phraseList->setCurrentRow(-1);
}

void PhraseLibraryWindow::exitEditor()
{
    close();
}

} // namespace brenvoll
