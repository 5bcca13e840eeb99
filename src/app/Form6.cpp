#include "Form6.h"

#include "SettingsStore.h"

#include <QLineEdit>

namespace brenvoll {

QPointer<Form6> Form6::s_instance;

Form6* Form6::get()
{
    if (!s_instance) {
        s_instance = new Form6();
        s_instance->Form_Load();
    }
    return s_instance;
}

Form6* Form6::showWindow()
{
    Form6* form = get();
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

Form6* Form6::loaded()
{
    return s_instance;
}

Form6::Form6(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("综合设置"));
    setAttribute(Qt::WA_DeleteOnClose);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text4 = new QLineEdit(QStringLiteral("120"), this);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text5 = new QLineEdit(QStringLiteral("200"), this);
    Text5->setObjectName(QStringLiteral("Text5"));
}

void Form6::Form_Load()
{
    Settings settings;
    if (SettingsStore::read(settings)) {
        Text1->setText(settings.folder);
        Text4->setText(settings.leftMargin);
        Text5->setText(settings.topMargin);
    }
}

QString Form6::backupFolder() const
{
    return Text1->text();
}

QString Form6::leftMarginText() const
{
    return Text4->text();
}

QString Form6::topMarginText() const
{
    return Text5->text();
}

} // namespace brenvoll
