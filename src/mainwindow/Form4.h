#pragma once
// The about window: product name and version; a click on it opens the
// program's home page.
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

    // Opens the home page in the default browser.
    void Form_Click();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    explicit Form4(QWidget* parent = nullptr);
    static QPointer<Form4> s_instance;
    bool m_pressed = false;
};

} // namespace brenvoll
