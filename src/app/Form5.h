#pragma once
// The login window "登录".
#include <QDialog>
#include <QPointer>

namespace brenvoll {

class Form5 : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static Form5* showWindow();
    // The window if it is loaded, else null.
    static Form5* loaded();

private:
    explicit Form5(QWidget* parent = nullptr);
    static QPointer<Form5> s_instance;
};

} // namespace brenvoll
