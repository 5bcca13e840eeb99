#include "Form8.h"

namespace brenvoll {

QPointer<Form8> Form8::s_instance;

Form8* Form8::showWindow()
{
    if (!s_instance) {
        s_instance = new Form8();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

Form8* Form8::loaded()
{
    return s_instance;
}

Form8::Form8(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("打印"));
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace brenvoll
