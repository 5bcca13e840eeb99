#pragma once
// The about window.
#include <QDialog>
#include <QPointer>

namespace brenvoll {

class Form4 : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static Form4* showWindow();
    // The window if it is loaded, else null.
    static Form4* loaded();

private:
    explicit Form4(QWidget* parent = nullptr);
    static QPointer<Form4> s_instance;
};

} // namespace brenvoll
