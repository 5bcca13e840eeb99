#pragma once
// The about window: product name, version and the data folder in use; a
// click on it opens the program's home page.
#include <QDialog>
#include <QPointer>

namespace brenvoll {

class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    // Shows the one window of this kind, creating it on first use; an open
    // window is brought to the front.
    static AboutWindow* showWindow();
    // The window if it is loaded, else null.
    static AboutWindow* loaded();

    // Opens the home page in the default browser.
    void openHomePage();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    explicit AboutWindow(QWidget* parent = nullptr);
    static QPointer<AboutWindow> s_instance;
    bool m_pressed = false;
};

} // namespace brenvoll
