#include "ButtonKeys.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QShortcut>

namespace brenvoll {

namespace {
class EnterOnButton : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || !button ||
            !button->isEnabled()) {
            return false;
        }
        button->click();
        return true;
    }
};
} // namespace

void enterPressesFocusedButton(QWidget* window)
{
    auto* filter = new EnterOnButton(window);
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        // An auto-default button in a dialog would stay the dialog's default
        // after it lost the focus, and Enter in a box would press it.
        button->setAutoDefault(false);
        button->installEventFilter(filter);
    }
}

void escapeCloses(QWidget* window)
{
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    escape->setContext(Qt::WindowShortcut);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

} // namespace brenvoll
