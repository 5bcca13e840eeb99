#include "AboutWindow.h"

#include "Icons.h"
#include "base/EncodedText.h"
#include "base/ProgramPaths.h"
#include "base/ProgramVersion.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace brenvoll {

QPointer<AboutWindow> AboutWindow::s_instance;

AboutWindow* AboutWindow::showWindow()
{
    return showSingleWindow(s_instance, [] { return new AboutWindow(); });
}

AboutWindow* AboutWindow::loaded()
{
    return s_instance;
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("关于"));
    setAttribute(Qt::WA_DeleteOnClose);
    setCursor(Qt::PointingHandCursor);
    initIcons();
    const QIcon logo(QStringLiteral(":/mainwindow/icons/brenvoll.svg"));
    setWindowIcon(logo);

    auto label = [this](const QString& text, const char* name, qreal scale, bool bold) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setAlignment(Qt::AlignCenter);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * scale);
        f.setBold(bold);
        l->setFont(f);
        return l;
    };
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setAlignment(Qt::AlignCenter);
    image->setAttribute(Qt::WA_TransparentForMouseEvents);
    const int side = logicalDpiX() * 2 / 3; // 64 px at 96 dpi
    image->setPixmap(logo.pixmap(QSize(side, side), devicePixelRatioF()));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(36, 24, 36, 24);
    layout->setSpacing(8);
    layout->addWidget(image);
    layout->addWidget(label(QStringLiteral("Brenvoll"), "Label1", 2.0, true));
    layout->addWidget(label(u'V' + programVersionText(), "Label2", 1.2, false));
    layout->addSpacing(8);
    layout->addWidget(label(QStringLiteral("单击此处访问作者主页"), "Label3", 1.0, false));
    // Where the records are: beside the program, or an installed program's
    // data folder, which the IT person looks for when backing up or moving.
    QLabel* folder = label(QStringLiteral("数据文件夹：") + dataFolder(), "dataFolderLabel", 0.9, false);
    folder->setWordWrap(true);
    layout->addWidget(folder);
    setFixedSize(sizeHint().expandedTo(QSize(logicalDpiX() * 4, 0)));

    // Centred on the screen, as the program's dialogs are.
    twips::centreOnScreen(this);
}

void AboutWindow::openHomePage()
{
    Shell::openPage(localPageUrl(kHomePageList));
}

void AboutWindow::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QDialog::mousePressEvent(event);
}

void AboutWindow::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QDialog::mouseReleaseEvent(event);
    if (click) {
        openHomePage();
    }
}

} // namespace brenvoll
