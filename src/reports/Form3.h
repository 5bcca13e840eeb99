#pragma once
// The report window "生成报表".
#include <QPointer>
#include <QWidget>

namespace brenvoll {

class Form3 : public QWidget
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static Form3* showWindow();
    // The window if it is loaded, else null.
    static Form3* loaded();

private:
    explicit Form3(QWidget* parent = nullptr);
    static QPointer<Form3> s_instance;
};

} // namespace brenvoll
