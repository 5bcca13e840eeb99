#include "AccountsWindow.h"

#include "accounts/Session.h"
#include "base/TextRules.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace brenvoll {

QPointer<AccountsWindow> AccountsWindow::s_instance;

namespace {
const QString kPasswordsDiffer = QStringLiteral("两次输入的新密码不一样。");

QTreeWidget* makeList(QWidget* parent, const QStringList& headers, const char* name)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setRootIsDecorated(false);
    list->setHeaderLabels(headers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return list;
}

// A small form of labelled boxes with OK and cancel, and a choice of role
// when `role` is given (which it starts from and receives); the texts typed,
// or nothing when cancelled. A label ending in "*" is a password box.
std::optional<QStringList> askTexts(QWidget* parent, const QString& title, const QStringList& labels,
                                    Role* role = nullptr)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* form = new QFormLayout(&dialog);
    QList<QLineEdit*> boxes;
    for (QString label : labels) {
        auto* box = new QLineEdit(&dialog);
        if (label.endsWith(u'*')) {
            label.chop(1);
            box->setEchoMode(QLineEdit::Password);
        }
        form->addRow(label, box);
        boxes << box;
    }
    QComboBox* combo = nullptr;
    if (role) {
        combo = new QComboBox(&dialog);
        for (const Role each : {Role::Clerk, Role::Doctor, Role::Administrator}) {
            combo->addItem(roleName(each), int(each));
        }
        combo->setCurrentIndex(int(*role));
        form->addRow(QStringLiteral("角色"), combo);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    QStringList texts;
    for (const QLineEdit* box : boxes) {
        texts << box->text();
    }
    if (combo) {
        *role = Role(combo->currentData().toInt());
    }
    return texts;
}
} // namespace

AccountsWindow* AccountsWindow::showWindow(QWidget* parent, TableMaker makeTables)
{
    AccountsWindow* window = showSingleWindow(s_instance, [&] {
        auto* made = new AccountsWindow(parent, std::move(makeTables));
        made->reload();
        return made;
    });
    window->reload();
    return window;
}

AccountsWindow::AccountsWindow(QWidget* parent, TableMaker makeTables)
    : QDialog(parent), m_makeTables(std::move(makeTables))
{
    setObjectName(QStringLiteral("AccountsWindow"));
    setWindowTitle(QStringLiteral("用户管理"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(640, 520);

    auto* layout = new QVBoxLayout(this);
    m_accounts = makeList(this,
                          {QStringLiteral("用户名"), QStringLiteral("姓名"), QStringLiteral("角色"),
                           QStringLiteral("状态"), QStringLiteral("最后登录")},
                          "AccountList");
    layout->addWidget(m_accounts, 2);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
        return b;
    };
    button(QStringLiteral("添加…"), "AddAccount", &AccountsWindow::askNewAccount);
    button(QStringLiteral("角色…"), "SetRole", &AccountsWindow::askRole);
    button(QStringLiteral("重设密码…"), "ResetPassword", &AccountsWindow::askPassword);
    button(QStringLiteral("停用/启用"), "ToggleDisabled", &AccountsWindow::toggleDisabled);
    buttons->addStretch();
    layout->addLayout(buttons);

    auto* switches = new QHBoxLayout;
    switches->addWidget(new QLabel(QStringLiteral("无人操作多少分钟后锁定（0 为不锁定）："), this));
    m_idle = new QSpinBox(this);
    m_idle->setObjectName(QStringLiteral("IdleMinutes"));
    m_idle->setRange(0, 24 * 60);
    switches->addWidget(m_idle);
    connect(m_idle, &QSpinBox::valueChanged, this, [this](int minutes) {
        if (!m_loading) {
            setIdleMinutes(minutes);
        }
    });
    switches->addStretch();
    m_switchOff = new QPushButton(QStringLiteral("关闭账户登录…"), this);
    m_switchOff->setObjectName(QStringLiteral("SwitchOff"));
    connect(m_switchOff, &QPushButton::clicked, this, &AccountsWindow::switchOff);
    switches->addWidget(m_switchOff);
    layout->addLayout(switches);

    layout->addWidget(
        new QLabel(QStringLiteral("登录记录（最近 %1 条）").arg(AccountStore::kLoginRecordShown), this));
    m_logins = makeList(
        this,
        {QStringLiteral("时间"), QStringLiteral("用户名"), QStringLiteral("工作站"), QStringLiteral("结果")},
        "LoginList");
    layout->addWidget(m_logins, 3);

    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    enterPressesFocusedButton(this);
}

void AccountsWindow::reload()
{
    m_loading = true;
    m_accounts->clear();
    m_logins->clear();
    m_list.clear();
    const bool present = AccountStore::tablesPresent();
    QString error;
    if (present && !AccountStore::list(m_list, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取账户：") + error);
    }
    for (const Account& account : m_list) {
        new QTreeWidgetItem(m_accounts, {account.userName, account.fullName, roleName(account.role),
                                         account.disabled ? QStringLiteral("停用") : QStringLiteral("启用"),
                                         account.lastLogin});
    }
    std::vector<LoginEvent> events;
    if (present && AccountStore::loginRecord(events, AccountStore::kLoginRecordShown, &error)) {
        for (const LoginEvent& event : events) {
            new QTreeWidgetItem(m_logins, {event.time, event.userName, event.desk, event.result});
        }
    }
    m_idle->setValue(present ? AccountStore::idleMinutes() : AccountStore::kDefaultIdleMinutes);
    const bool on = AccountStore::accountsOn();
    m_idle->setEnabled(on);
    m_switchOff->setEnabled(on);
    m_loading = false;
}

bool AccountsWindow::addAccount(const QString& userName, const QString& fullName, Role role,
                                const QString& password, const QString& again)
{
    if (password != again) {
        MessageBox::warning(this, kPasswordsDiffer);
        return false;
    }
    QString error;
    if (!AccountStore::tablesPresent() && !(m_makeTables && m_makeTables(&error))) {
        MessageBox::warning(this, QStringLiteral("无法为数据库添加账户的数据表：") + error);
        return false;
    }
    const bool first = !AccountStore::accountsOn() && m_list.empty();
    if (!AccountStore::add(userName, fullName, role, password, &error)) {
        MessageBox::warning(this, QStringLiteral("账户没有添加：") + error);
        return false;
    }
    if (first) {
        MessageBox::information(this,
                                QStringLiteral("第一个账户“%1”是管理员。从下次登录起，每个工作站都要输入"
                                               "用户名和密码，单独的共用密码不能再登录。")
                                    .arg(trimBlanks(userName)));
    }
    reload();
    emit accountsChanged();
    return true;
}

bool AccountsWindow::mayChange(const QString& userName, bool staysAdministrator)
{
    const auto& me = Session::current();
    if (me && me->userName == userName) {
        MessageBox::warning(this, QStringLiteral("不能更改自己账户的角色或状态。"));
        return false;
    }
    if (!staysAdministrator) {
        int administrators = 0;
        for (const Account& account : m_list) {
            if (account.role == Role::Administrator && !account.disabled && account.userName != userName) {
                ++administrators;
            }
        }
        if (administrators == 0) {
            MessageBox::warning(this, QStringLiteral("至少要留一个启用的管理员账户。"));
            return false;
        }
    }
    return true;
}

bool AccountsWindow::setRoleOf(const QString& userName, Role role)
{
    if (!mayChange(userName, role == Role::Administrator)) {
        return false;
    }
    QString error;
    if (!AccountStore::setRole(userName, role, &error)) {
        MessageBox::warning(this, QStringLiteral("角色没有更改：") + error);
        return false;
    }
    reload();
    emit accountsChanged();
    return true;
}

bool AccountsWindow::resetPassword(const QString& userName, const QString& password, const QString& again)
{
    if (password != again) {
        MessageBox::warning(this, kPasswordsDiffer);
        return false;
    }
    QString error;
    if (!AccountStore::setPassword(userName, password, &error)) {
        MessageBox::warning(this, QStringLiteral("密码没有更改：") + error);
        return false;
    }
    MessageBox::notice(this, QStringLiteral("“%1”的密码已重设。").arg(userName));
    return true;
}

bool AccountsWindow::setDisabledOf(const QString& userName, bool disabled)
{
    const auto it = std::find_if(m_list.begin(), m_list.end(),
                                 [&](const Account& account) { return account.userName == userName; });
    const bool administrator = it != m_list.end() && it->role == Role::Administrator;
    // Disabling an administrator must leave another one enabled.
    if (disabled && !mayChange(userName, !administrator)) {
        return false;
    }
    QString error;
    if (!AccountStore::setDisabled(userName, disabled, &error)) {
        MessageBox::warning(this, QStringLiteral("账户状态没有更改：") + error);
        return false;
    }
    reload();
    emit accountsChanged();
    return true;
}

bool AccountsWindow::switchOff()
{
    if (!MessageBox::askYesNo(this, QStringLiteral("关闭账户登录后，每个工作站又只用共用密码登录，"
                                                   "历史版本不再记录操作员的姓名。确定要关闭吗？"))) {
        return false;
    }
    QString error;
    if (!AccountStore::switchOff(&error)) {
        MessageBox::warning(this, QStringLiteral("账户登录没有关闭：") + error);
        return false;
    }
    const auto& me = Session::current();
    AccountStore::record(me ? me->userName : QString(), AccountStore::kSwitchedOff);
    reload();
    emit accountsChanged();
    return true;
}

bool AccountsWindow::setIdleMinutes(int minutes)
{
    QString error;
    if (!AccountStore::setIdleMinutes(minutes, &error)) {
        MessageBox::warning(this, QStringLiteral("锁定时间没有保存：") + error);
        return false;
    }
    emit accountsChanged();
    return true;
}

QString AccountsWindow::chosen()
{
    const QTreeWidgetItem* item = m_accounts->currentItem();
    if (!item) {
        MessageBox::notice(this, QStringLiteral("请先选择一个账户。"));
        return {};
    }
    return item->text(0);
}

void AccountsWindow::askNewAccount()
{
    Role role = Role::Clerk;
    const auto texts = askTexts(this, QStringLiteral("添加账户"),
                                {QStringLiteral("用户名"), QStringLiteral("姓名"), QStringLiteral("密码*"),
                                 QStringLiteral("再输一次*")},
                                &role);
    if (texts) {
        addAccount(texts->at(0), texts->at(1), role, texts->at(2), texts->at(3));
    }
}

void AccountsWindow::askRole()
{
    const QString user = chosen();
    if (user.isEmpty()) {
        return;
    }
    Role role = roleFromName(m_accounts->currentItem()->text(2)).value_or(Role::Clerk);
    if (askTexts(this, QStringLiteral("“%1”的角色").arg(user), {}, &role)) {
        setRoleOf(user, role);
    }
}

void AccountsWindow::askPassword()
{
    const QString user = chosen();
    if (user.isEmpty()) {
        return;
    }
    const auto texts = askTexts(this, QStringLiteral("重设“%1”的密码").arg(user),
                                {QStringLiteral("新密码*"), QStringLiteral("再输一次*")});
    if (texts) {
        resetPassword(user, texts->at(0), texts->at(1));
    }
}

void AccountsWindow::toggleDisabled()
{
    const QString user = chosen();
    if (!user.isEmpty()) {
        setDisabledOf(user, m_accounts->currentItem()->text(3) == QStringLiteral("启用"));
    }
}

} // namespace brenvoll
