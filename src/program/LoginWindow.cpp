#include "LoginWindow.h"

#include "accounts/Session.h"
#include "base/TextRules.h"
#include "settings/SettingsStore.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

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
// The user name row, in twips: the window grows by it, and the designed
// controls below its top move down by it.
constexpr int kUserRowTop = 1080;
constexpr int kUserRowHeight = 720;

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
    return showSingleWindow(s_instance, [] {
        auto* window = new LoginWindow();
        window->load();
        return window;
    });
}

LoginWindow* LoginWindow::loaded()
{
    return s_instance;
}

LoginWindow::LoginWindow(QWidget* parent) : QDialog(parent)
{
    // Every control keeps its designed name as its object name.
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("登录"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPx(this, 4545), twips::toPx(this, 2670));

    m_padlock = new QLabel(this);
    m_padlock->setObjectName(QStringLiteral("Image1"));
    twips::place(m_padlock, 120, 300, 480, 480);
    m_padlock->setPixmap(padlock(m_padlock->width()));

    m_productName = new QLabel(QStringLiteral("Brenvoll"), this);
    m_productName->setObjectName(QStringLiteral("Label2"));
    QFont title;
    title.setFamilies(
        {QStringLiteral("楷体_GB2312"), QStringLiteral("KaiTi"), QStringLiteral("Noto Serif CJK SC")});
    title.setPointSizeF(15.75);
    title.setBold(true);
    m_productName->setFont(title);
    twips::placeLabel(m_productName, 660, 360, 3795, 315);

    m_titleBand = new QLabel(this);
    m_titleBand->setObjectName(QStringLiteral("Image2"));
    twips::place(m_titleBand, 660, 780, 3795, 30);
    m_titleBand->setPixmap(band(m_titleBand->width(), qMax(1, m_titleBand->height())));

    m_promptLabel = new QLabel(QStringLiteral("请输入登录密码"), this);
    m_promptLabel->setObjectName(QStringLiteral("lblVersion"));
    twips::placeLabel(m_promptLabel, 300, 1080, 1260, 180);

    m_factoryPasswordHint = new QLabel(QStringLiteral("(原始密码：864)"), this);
    m_factoryPasswordHint->setObjectName(QStringLiteral("Label1"));
    QPalette hint = m_factoryPasswordHint->palette();
    hint.setColor(QPalette::WindowText, QColor(0, 0, 192));
    m_factoryPasswordHint->setPalette(hint);
    twips::placeLabel(m_factoryPasswordHint, 1620, 1080, 1350, 180);

    m_passwordBox = new QLineEdit(this);
    m_passwordBox->setObjectName(QStringLiteral("Text1"));
    m_passwordBox->setEchoMode(QLineEdit::Password);
    m_passwordBox->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_passwordBox->setMaxLength(15);
    m_passwordBox->setAttribute(Qt::WA_InputMethodEnabled, false);
    twips::place(m_passwordBox, 300, 1440, 3915, 315);
    m_passwordBox->installEventFilter(this);

    m_okButton = new QPushButton(QStringLiteral("确  定"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    twips::place(m_okButton, 1800, 2040, 1155, 375);
    connect(m_okButton, &QPushButton::clicked, this, &LoginWindow::logIn);

    m_cancelButton = new QPushButton(QStringLiteral("取  消"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    twips::place(m_cancelButton, 3060, 2040, 1155, 375);
    connect(m_cancelButton, &QPushButton::clicked, this, &LoginWindow::cancel);

    // Enter in the box is handled there; on a button it presses that button.
    enterPressesFocusedButton(this);
    setTabOrder(m_passwordBox, m_cancelButton);
    setTabOrder(m_cancelButton, m_okButton);
    m_passwordBox->setFocus();
}

void LoginWindow::load()
{
    readStoredPassword();
    m_accountsOn = AccountStore::accountsOn();
    if (m_accountsOn) {
        addUserRow();
    }
    twips::centreOnScreen(this);
}

void LoginWindow::addUserRow()
{
    setFixedSize(twips::toPx(this, 4545), twips::toPx(this, 2670 + kUserRowHeight));
    const auto down = [](QWidget* widget) {
        widget->move(widget->x(), widget->y() + twips::toPx(widget, kUserRowHeight));
    };
    for (QWidget* widget :
         {static_cast<QWidget*>(m_promptLabel), static_cast<QWidget*>(m_factoryPasswordHint),
          static_cast<QWidget*>(m_passwordBox), static_cast<QWidget*>(m_okButton),
          static_cast<QWidget*>(m_cancelButton)}) {
        down(widget);
    }
    // The hint belongs to the shared password alone.
    m_factoryPasswordHint->hide();

    m_userLabel = new QLabel(QStringLiteral("用户名"), this);
    m_userLabel->setObjectName(QStringLiteral("lblUser"));
    twips::placeLabel(m_userLabel, 300, kUserRowTop, 1260, 180);
    m_userBox = new QLineEdit(this);
    m_userBox->setObjectName(QStringLiteral("txtUser"));
    m_userBox->setMaxLength(40);
    twips::place(m_userBox, 300, kUserRowTop + 300, 3915, 315);
    m_userBox->installEventFilter(this);
    m_userLabel->show();
    m_userBox->show();
    setTabOrder(m_userBox, m_passwordBox);
    setTabOrder(m_passwordBox, m_cancelButton);
    setTabOrder(m_cancelButton, m_okButton);
    m_userBox->setFocus();

    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &LoginWindow::endWait);
}

void LoginWindow::endWait()
{
    m_wait.stop();
    m_okButton->setEnabled(true);
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
    m_factoryPasswordHint->setVisible(m_readError.isNull() && m_storedPassword == kFactoryPassword);
    return m_readError.isNull();
}

bool LoginWindow::matches(const QString& typed, const QString& stored)
{
    return trimSpaces(typed).toLower() == trimSpaces(stored).toLower();
}

void LoginWindow::logIn()
{
    if (m_accountsOn) {
        logInWithAccount();
        return;
    }
    // Another desk may have switched accounts on since this window opened:
    // then the shared password no longer lets anyone in.
    if (AccountStore::accountsOn()) {
        m_accountsOn = true;
        addUserRow();
        MessageBox::notice(this, QStringLiteral("请输入用户名和密码。"));
        return;
    }
    // Without the settings record there is no password to compare with: nobody
    // is let in. A record that was busy at load may be readable now.
    if (!m_readError.isNull() && !readStoredPassword()) {
        MessageBox::warning(this, QStringLiteral("无法读取数据库，不能登录。\n原因：") + m_readError);
        return;
    }
    if (!matches(m_passwordBox->text(), m_storedPassword)) {
        MessageBox::notice(this, QStringLiteral("密码错误！"));
        return;
    }
    hide();
    emit loggedIn();
}

void LoginWindow::logInWithAccount()
{
    if (waiting()) {
        return;
    }
    const QString user = trimBlanks(m_userBox->text());
    Account account;
    QString error;
    switch (AccountStore::check(user, m_passwordBox->text(), &account, &error)) {
    case AccountStore::Check::Ok:
        break;
    case AccountStore::Check::Failed:
        MessageBox::warning(this, QStringLiteral("无法读取数据库，不能登录。\n原因：") + error);
        return;
    case AccountStore::Check::Disabled:
        AccountStore::record(user, AccountStore::kDisabled);
        MessageBox::notice(this, QStringLiteral("此账户已停用。"));
        return;
    case AccountStore::Check::Wrong:
        AccountStore::record(user, AccountStore::kWrong);
        MessageBox::notice(this, QStringLiteral("用户名或密码错误。"));
        // From the third wrong try in a row on, OK waits before the next.
        if (const int seconds = AccountStore::waitAfter(++m_failures); seconds > 0) {
            m_okButton->setEnabled(false);
            m_wait.start(seconds * 1000);
        }
        return;
    }
    m_failures = 0;
    AccountStore::record(account.userName, AccountStore::kLoggedIn);
    Session::begin(account);
    m_passwordBox->clear();
    hide();
    emit loggedIn();
}

void LoginWindow::cancel()
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
    // Enter in the user name box moves on to the password.
    if (watched == m_userBox && m_userBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_passwordBox->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    if (watched == m_passwordBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            logIn();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brenvoll
