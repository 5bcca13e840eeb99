#include "Form2.h"

namespace brenvoll {

QPointer<Form2> Form2::s_instance;

Form2* Form2::showWindow()
{
    if (!s_instance) {
        s_instance = new Form2();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

Form2* Form2::loaded()
{
    return s_instance;
}

Form2::Form2(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("词库编辑"));
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace brenvoll
