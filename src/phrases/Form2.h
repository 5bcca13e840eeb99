#pragma once
// The phrase library editor "词库编辑".
#include <QPointer>
#include <QWidget>

namespace brenvoll {

class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static Form2* showWindow();
    // The window if it is loaded, else null.
    static Form2* loaded();

private:
    explicit Form2(QWidget* parent = nullptr);
    static QPointer<Form2> s_instance;
};

} // namespace brenvoll
