#include "Form3.h"

namespace brenvoll {

QPointer<Form3> Form3::s_instance;

Form3* Form3::showWindow()
{
    if (!s_instance) {
        s_instance = new Form3();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

Form3* Form3::loaded()
{
    return s_instance;
}

Form3::Form3(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("生成报表"));
    setAttribute(Qt::WA_DeleteOnClose);
}

} // namespace brenvoll
