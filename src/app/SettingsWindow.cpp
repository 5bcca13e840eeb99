#include "SettingsWindow.h"

#include "Database.h"
#include "MessageBox.h"
#include "SettingsStore.h"
#include "Twips.h"
#include "record/DateRules.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace brenvoll {

namespace {
template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

QPointer<SettingsWindow> SettingsWindow::s_instance;

SettingsWindow* SettingsWindow::get()
{
    if (!s_instance) {
        s_instance = new SettingsWindow();
        s_instance->Form_Load();
    }
    return s_instance;
}

SettingsWindow* SettingsWindow::showWindow()
{
    SettingsWindow* form = get();
    if (!form->isVisible() && !form->m_loadError.isNull()) {
        form->Form_Load(); // the database may be readable again
    }
    if (!form->m_loadError.isNull()) {
        MessageBox::warning(form, QStringLiteral("无法读取设置。\n原因：") + form->m_loadError);
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

SettingsWindow* SettingsWindow::loaded()
{
    return s_instance;
}

SettingsWindow::SettingsWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("综合设置"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips::toPx(this, 4905), twips::toPx(this, 4815));

    buildPasswordFrame();
    buildMarginFrame();
    buildFolderFrame();

    Command2 = named(new QPushButton(QStringLiteral("保 存"), this), "Command2");
    twips::place(Command2, 2460, 4260, 1035, 375);
    connect(Command2, &QPushButton::clicked, this, &SettingsWindow::Command2_Click);
    Command4 = named(new QPushButton(QStringLiteral("退 出"), this), "Command4");
    twips::place(Command4, 3660, 4260, 1035, 375);
    connect(Command4, &QPushButton::clicked, this, &SettingsWindow::Command4_Click);

    // Frame3 takes no focus itself, so the chain starts at its button.
    setTabOrder(Command3, Text12);
    setTabOrder(Text12, Text8);
    setTabOrder(Text8, Text5);
    setTabOrder(Text5, Text4);
    setTabOrder(Text4, Text1);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command4);
    Command3->setFocus();

    // Enter in a box does nothing, as no button of this window is the
    // default; on a button it presses that button.
    for (QLineEdit* edit : {Text8, Text12, Text4, Text5, Text1}) {
        edit->installEventFilter(this);
    }
}

void SettingsWindow::buildPasswordFrame()
{
    Frame3 = named(new QGroupBox(QStringLiteral("修改登录密码"), this), "Frame3");
    twips::place(Frame3, 180, 180, 4515, 1515);
    Label10 = named(new QLabel(QStringLiteral("原密码"), Frame3), "Label10");
    twips::placeLabel(Label10, 300, 540, 540, 180);
    Text8 = named(new QLineEdit(Frame3), "Text8");
    twips::place(Text8, 960, 480, 2115, 315);
    Label14 = named(new QLabel(QStringLiteral("新密码"), Frame3), "Label14");
    twips::placeLabel(Label14, 300, 960, 540, 180);
    Text12 = named(new QLineEdit(Frame3), "Text12");
    twips::place(Text12, 960, 900, 2115, 315);
    for (QLineEdit* edit : {Text8, Text12}) {
        edit->setMaxLength(15);
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    Command3 = named(new QPushButton(QStringLiteral("修改密码"), Frame3), "Command3");
    twips::place(Command3, 3240, 600, 1095, 375);
    connect(Command3, &QPushButton::clicked, this, &SettingsWindow::Command3_Click);
}

void SettingsWindow::buildMarginFrame()
{
    Frame2 = named(new QGroupBox(QStringLiteral("打印设置(单位：毫米)"), this), "Frame2");
    twips::place(Frame2, 180, 1860, 4515, 1095);
    Label4 = named(new QLabel(QStringLiteral("左边距："), Frame2), "Label4");
    twips::placeLabel(Label4, 240, 540, 720, 180);
    Text4 = named(new QLineEdit(QStringLiteral("120"), Frame2), "Text4");
    twips::place(Text4, 1020, 480, 1155, 315);
    Label5 = named(new QLabel(QStringLiteral("上边距："), Frame2), "Label5");
    twips::placeLabel(Label5, 2400, 480, 720, 180);
    Text5 = named(new QLineEdit(QStringLiteral("200"), Frame2), "Text5");
    twips::place(Text5, 3180, 420, 1155, 315);
}

void SettingsWindow::buildFolderFrame()
{
    Frame1 = named(new QGroupBox(QStringLiteral("数据备份文件夹"), this), "Frame1");
    twips::place(Frame1, 240, 3120, 4455, 915);
    Text1 = named(new QLineEdit(Frame1), "Text1");
    twips::place(Text1, 180, 420, 3255, 315);
    Command1 = named(new QPushButton(QStringLiteral("浏览"), Frame1), "Command1");
    twips::place(Command1, 3540, 360, 795, 375);
    connect(Command1, &QPushButton::clicked, this, &SettingsWindow::Command1_Click);
}

void SettingsWindow::Form_Load()
{
    twips::centreOnScreen(this);
    Settings settings;
    QString error;
    if (SettingsStore::read(settings, &error)) {
        m_loadError = QString();
        Text1->setText(settings.folder);
        Text4->setText(settings.leftMargin);
        Text5->setText(settings.topMargin);
    } else {
        // No invented values: with the record unreadable there is no folder
        // and the margins count as 0.
        m_loadError = error.isEmpty() ? QStringLiteral("数据库操作失败。") : error;
        Text1->clear();
        Text4->clear();
        Text5->clear();
    }
}

QString SettingsWindow::backupFolder() const
{
    return Text1->text();
}

QString SettingsWindow::leftMarginText() const
{
    return Text4->text();
}

QString SettingsWindow::topMarginText() const
{
    return Text5->text();
}

void SettingsWindow::Command1_Click()
{
    const QString chosen = FileDialogs::existingFolder(this, Text1->text());
    if (chosen.isEmpty()) {
        return;
    }
    // No trailing separator, except for a root.
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    Text1->setText(path);
    Text1->setCursorPosition(int(path.size()));
    Text1->setFocus();
}

void SettingsWindow::Command2_Click()
{
    QString error;
    if (!SettingsStore::writeFolderAndMargins(Text1->text(), Text4->text(), Text5->text(), &error)) {
        MessageBox::warning(this, QStringLiteral("设置没有保存。\n原因：") + error);
        return;
    }
    unload();
}

void SettingsWindow::Command3_Click()
{
    // The password is kept as it is stored and read back: had the engine's
    // normalisation uncovered a blank at either end, the stored password
    // could never be typed as the old one again.
    const QString newPassword = trimBlanks(Database::storable(Text12->text()));
    if (newPassword.isEmpty()) {
        MessageBox::notice(this, QStringLiteral("请输入新密码！"));
        return;
    }
    hide();
    Settings settings;
    QString error;
    if (!SettingsStore::read(settings, &error)) {
        MessageBox::warning(this, QStringLiteral("无法读取原密码，密码没有修改。\n原因：") + error);
        show();
        return;
    }
    // Unlike the login, the old password must match exactly, letter case
    // included.
    if (trimBlanks(Database::storable(Text8->text())) != settings.password) {
        MessageBox::notice(this, QStringLiteral("原密码不正确，无法修改密码！"));
        show();
        return;
    }
    // Only the password is written: folder and margin edits not saved are
    // dropped with the window.
    if (!SettingsStore::writePassword(newPassword, &error)) {
        MessageBox::warning(this, QStringLiteral("新密码没有保存，登录密码仍是原来的。\n原因：") + error);
        show();
        return;
    }
    MessageBox::notice(this, QStringLiteral("修改密码成功，请牢记新密码！"));
    unload();
}

void SettingsWindow::Command4_Click()
{
    unload();
}

void SettingsWindow::unload()
{
    close();
}

void SettingsWindow::reject()
{
    unload();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    // The window is deleted later; from here on the copy is gone and the next
    // reader loads a fresh one from the table.
    if (s_instance == this) {
        s_instance.clear();
    }
    event->accept();
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && qobject_cast<QLineEdit*>(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brenvoll
