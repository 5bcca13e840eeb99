#include "Form4.h"

namespace brenvoll {

QPointer<Form4> Form4::s_instance;

Form4* Form4::showWindow()
{
    if (!s_instance) {
        s_instance = new Form4();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

Form4* Form4::loaded()
{
    return s_instance;
}

Form4::Form4(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("关于"));
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace brenvoll
