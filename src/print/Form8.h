#pragma once
// The print dialog "打印": the current sheet or a batch of listed records.
#include <QDialog>
#include <QPointer>

namespace brenvoll {

class Form8 : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static Form8* showWindow();
    // The window if it is loaded, else null.
    static Form8* loaded();

private:
    explicit Form8(QWidget* parent = nullptr);
    static QPointer<Form8> s_instance;
};

} // namespace brenvoll
