#include "Form5.h"

namespace brenvoll {

QPointer<Form5> Form5::s_instance;

Form5* Form5::showWindow()
{
    if (!s_instance) {
        s_instance = new Form5();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

Form5* Form5::loaded()
{
    return s_instance;
}

Form5::Form5(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("登录"));
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace brenvoll
