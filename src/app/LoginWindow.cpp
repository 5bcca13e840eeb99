#include "LoginWindow.h"

#include "MessageBox.h"
#include "SettingsStore.h"
#include "Startup.h"
#include "Twips.h"
#include "mainwindow/MainWindow.h"
#include "record/DateRules.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

namespace brenvoll {

namespace {
// The password the clinic receives the program with.
const QString kFactoryPassword = QStringLiteral("864");

// A small padlock beside the product name.
QPixmap padlock(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(QPen(QColor(0, 0, 192), s * 0.09));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(s * 0.28, s * 0.08, s * 0.44, s * 0.5), 0, 180 * 16);
    painter.drawLine(QPointF(s * 0.28, s * 0.33), QPointF(s * 0.28, s * 0.45));
    painter.drawLine(QPointF(s * 0.72, s * 0.33), QPointF(s * 0.72, s * 0.45));
    QLinearGradient body(0, s * 0.45, 0, s * 0.95);
    body.setColorAt(0, QColor(250, 205, 90));
    body.setColorAt(1, QColor(200, 140, 30));
    painter.setPen(QPen(QColor(120, 80, 10), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(s * 0.15, s * 0.45, s * 0.7, s * 0.5), s * 0.08, s * 0.08);
    painter.setBrush(QColor(90, 60, 10));
    painter.drawEllipse(QPointF(s * 0.5, s * 0.64), s * 0.06, s * 0.06);
    return pixmap;
}

// A thin band under the product name.
QPixmap band(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, width, 0);
    gradient.setColorAt(0, QColor(0, 0, 192));
    gradient.setColorAt(1, QColor(0, 0, 192, 0));
    painter.fillRect(pixmap.rect(), gradient);
    return pixmap;
}
} // namespace

QPointer<LoginWindow> LoginWindow::s_instance;

LoginWindow* LoginWindow::showWindow()
{
    if (!s_instance) {
        s_instance = new LoginWindow();
        s_instance->Form_Load();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

LoginWindow* LoginWindow::loaded()
{
    return s_instance;
}

LoginWindow::LoginWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("登录"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPx(this, 4545), twips::toPx(this, 2670));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    twips::place(Image1, 120, 300, 480, 480);
    Image1->setPixmap(padlock(Image1->width()));

    Label2 = new QLabel(QStringLiteral("Brenvoll"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont title;
    title.setFamilies(
        {QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"), QStringLiteral("Noto Serif CJK SC")});
    title.setPointSizeF(15.75);
    title.setBold(true);
    Label2->setFont(title);
    twips::placeLabel(Label2, 660, 360, 3795, 315);

    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    twips::place(Image2, 660, 780, 3795, 30);
    Image2->setPixmap(band(Image2->width(), qMax(1, Image2->height())));

    lblVersion = new QLabel(QStringLiteral("请输入登录密码"), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    twips::placeLabel(lblVersion, 300, 1080, 1260, 180);

    Label1 = new QLabel(QStringLiteral("(原始密码：864)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QPalette hint = Label1->palette();
    hint.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label1->setPalette(hint);
    twips::placeLabel(Label1, 1620, 1080, 1350, 180);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setEchoMode(QLineEdit::Password);
    Text1->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Text1->setMaxLength(15);
    Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
    twips::place(Text1, 300, 1440, 3915, 315);
    Text1->installEventFilter(this);

    Command1 = new QPushButton(QStringLiteral("确  定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    twips::place(Command1, 1800, 2040, 1155, 375);
    connect(Command1, &QPushButton::clicked, this, &LoginWindow::Command1_Click);

    Command2 = new QPushButton(QStringLiteral("取  消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    twips::place(Command2, 3060, 2040, 1155, 375);
    connect(Command2, &QPushButton::clicked, this, &LoginWindow::Command2_Click);

    // Enter in the box is handled there; on a button it presses that button.
    Command1->setAutoDefault(true);
    Command2->setAutoDefault(true);
    setTabOrder(Text1, Command2);
    setTabOrder(Command2, Command1);
    Text1->setFocus();
}

void LoginWindow::Form_Load()
{
    twips::centreOnScreen(this);
    readStoredPassword();
}

bool LoginWindow::readStoredPassword()
{
    Settings settings;
    QString error;
    if (SettingsStore::read(settings, &error)) {
        m_storedPassword = settings.password;
        m_readError = QString();
    } else {
        m_storedPassword.clear();
        m_readError = error.isEmpty() ? QStringLiteral("数据库操作失败。") : error;
    }
    // The hint stays only while the factory password is stored unchanged.
    Label1->setVisible(m_readError.isNull() && m_storedPassword == kFactoryPassword);
    return m_readError.isNull();
}

bool LoginWindow::matches(const QString& typed, const QString& stored)
{
    return trimBlanks(typed).toLower() == trimBlanks(stored).toLower();
}

void LoginWindow::Command1_Click()
{
    // Without the settings record there is no password to compare with: nobody
    // is let in. A record that was busy at load may be readable now.
    if (!m_readError.isNull() && !readStoredPassword()) {
        MessageBox::warning(this, QStringLiteral("无法读取数据库，不能登录。\n原因：") + m_readError);
        return;
    }
    if (!matches(Text1->text(), m_storedPassword)) {
        MessageBox::notice(this, QStringLiteral("密码错误！"));
        return;
    }
    openMainWindow();
}

void LoginWindow::openMainWindow()
{
    hide();
    MainWindow* form1 = MainWindow::instance();
    if (!form1) {
        form1 = new MainWindow();
        form1->setAttribute(Qt::WA_DeleteOnClose);
    }
    form1->loadOnStart();
    form1->show();
}

void LoginWindow::Command2_Click()
{
    close();
}

void LoginWindow::reject()
{
    close();
}

void LoginWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (s_instance == this) {
        s_instance.clear();
    }
    endProgram();
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Command1_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brenvoll
