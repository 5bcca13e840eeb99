#include "SettingsWindow.h"

#include "CurrentSettings.h"
#include "SettingsStore.h"
#include "base/TextRules.h"
#include "storage/Database.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QCloseEvent>
#include <QDir>
#include <QGroupBox>
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
    return singleWindow(s_instance, [] {
        auto* window = new SettingsWindow();
        window->load();
        return window;
    });
}

SettingsWindow* SettingsWindow::showWindow()
{
    SettingsWindow* window = get();
    if (!window->isVisible() && !CurrentSettings::get().readError().isNull()) {
        window->load(true); // the database may be readable again
    }
    if (const QString error = CurrentSettings::get().readError(); !error.isNull()) {
        MessageBox::warning(window, QStringLiteral("无法读取设置。\n原因：") + error);
    }
    bringToFront(window);
    return window;
}

SettingsWindow::~SettingsWindow()
{
    // A window deleted without closing takes its copy along, too.
    if (s_instance == this) {
        CurrentSettings::drop();
    }
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
    mirrorIntoCopy();

    m_saveButton = named(new QPushButton(QStringLiteral("保 存"), this), "Command2");
    twips::place(m_saveButton, 2460, 4260, 1035, 375);
    connect(m_saveButton, &QPushButton::clicked, this, &SettingsWindow::save);
    m_exitButton = named(new QPushButton(QStringLiteral("退 出"), this), "Command4");
    twips::place(m_exitButton, 3660, 4260, 1035, 375);
    connect(m_exitButton, &QPushButton::clicked, this, &SettingsWindow::unload);

    // The password frame takes no focus itself, so the chain starts at its button.
    setTabOrder(m_changePasswordButton, m_newPasswordBox);
    setTabOrder(m_newPasswordBox, m_oldPasswordBox);
    setTabOrder(m_oldPasswordBox, m_topMarginBox);
    setTabOrder(m_topMarginBox, m_leftMarginBox);
    setTabOrder(m_leftMarginBox, m_backupFolderBox);
    setTabOrder(m_backupFolderBox, m_browseButton);
    setTabOrder(m_browseButton, m_saveButton);
    setTabOrder(m_saveButton, m_exitButton);
    m_changePasswordButton->setFocus();

    // No button of this window is the default: Enter in a box does nothing.
    enterPressesFocusedButton(this);
}

void SettingsWindow::buildPasswordFrame()
{
    m_passwordFrame = named(new QGroupBox(QStringLiteral("修改登录密码"), this), "Frame3");
    twips::place(m_passwordFrame, 180, 180, 4515, 1515);
    m_oldPasswordLabel = named(new QLabel(QStringLiteral("原密码"), m_passwordFrame), "Label10");
    twips::placeLabel(m_oldPasswordLabel, 300, 540, 540, 180);
    m_oldPasswordBox = named(new QLineEdit(m_passwordFrame), "Text8");
    twips::place(m_oldPasswordBox, 960, 480, 2115, 315);
    m_newPasswordLabel = named(new QLabel(QStringLiteral("新密码"), m_passwordFrame), "Label14");
    twips::placeLabel(m_newPasswordLabel, 300, 960, 540, 180);
    m_newPasswordBox = named(new QLineEdit(m_passwordFrame), "Text12");
    twips::place(m_newPasswordBox, 960, 900, 2115, 315);
    for (QLineEdit* edit : {m_oldPasswordBox, m_newPasswordBox}) {
        edit->setMaxLength(15);
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    m_changePasswordButton = named(new QPushButton(QStringLiteral("修改密码"), m_passwordFrame), "Command3");
    twips::place(m_changePasswordButton, 3240, 600, 1095, 375);
    connect(m_changePasswordButton, &QPushButton::clicked, this, &SettingsWindow::changePassword);
}

void SettingsWindow::buildMarginFrame()
{
    m_marginFrame = named(new QGroupBox(QStringLiteral("打印设置(单位：毫米)"), this), "Frame2");
    twips::place(m_marginFrame, 180, 1860, 4515, 1095);
    m_leftMarginLabel = named(new QLabel(QStringLiteral("左边距："), m_marginFrame), "Label4");
    twips::placeLabel(m_leftMarginLabel, 240, 540, 720, 180);
    m_leftMarginBox = named(new QLineEdit(QStringLiteral("120"), m_marginFrame), "Text4");
    twips::place(m_leftMarginBox, 1020, 480, 1155, 315);
    m_topMarginLabel = named(new QLabel(QStringLiteral("上边距："), m_marginFrame), "Label5");
    twips::placeLabel(m_topMarginLabel, 2400, 480, 720, 180);
    m_topMarginBox = named(new QLineEdit(QStringLiteral("200"), m_marginFrame), "Text5");
    twips::place(m_topMarginBox, 3180, 420, 1155, 315);
}

void SettingsWindow::buildFolderFrame()
{
    m_folderFrame = named(new QGroupBox(QStringLiteral("数据备份文件夹"), this), "Frame1");
    twips::place(m_folderFrame, 240, 3120, 4455, 915);
    m_backupFolderBox = named(new QLineEdit(m_folderFrame), "Text1");
    twips::place(m_backupFolderBox, 180, 420, 3255, 315);
    m_browseButton = named(new QPushButton(QStringLiteral("浏览"), m_folderFrame), "Command1");
    twips::place(m_browseButton, 3540, 360, 795, 375);
    connect(m_browseButton, &QPushButton::clicked, this, &SettingsWindow::browseForFolder);
}

void SettingsWindow::load(bool fresh)
{
    twips::centreOnScreen(this);
    const CurrentSettings& settings = fresh ? CurrentSettings::reload() : CurrentSettings::get();
    m_backupFolderBox->setText(settings.backupFolder());
    m_leftMarginBox->setText(settings.leftMarginText());
    m_topMarginBox->setText(settings.topMarginText());
}

// What is typed into the loaded window is the program's copy at once.
void SettingsWindow::mirrorIntoCopy()
{
    const auto mirror = [this](QLineEdit* box, void (*set)(const QString&)) {
        connect(box, &QLineEdit::textChanged, this, [this, set](const QString& text) {
            if (s_instance == this) {
                set(text);
            }
        });
    };
    mirror(m_backupFolderBox, &CurrentSettings::setBackupFolder);
    mirror(m_leftMarginBox, &CurrentSettings::setLeftMarginText);
    mirror(m_topMarginBox, &CurrentSettings::setTopMarginText);
    connect(m_backupFolderBox, &QLineEdit::textEdited, this, [this] {
        if (s_instance == this) {
            CurrentSettings::folderTyped();
        }
    });
}

QString SettingsWindow::loadError() const
{
    return CurrentSettings::get().loadError();
}

QString SettingsWindow::backupFolder() const
{
    return m_backupFolderBox->text();
}

QString SettingsWindow::leftMarginText() const
{
    return m_leftMarginBox->text();
}

QString SettingsWindow::topMarginText() const
{
    return m_topMarginBox->text();
}

void SettingsWindow::browseForFolder()
{
    const QString chosen = FileDialogs::existingFolder(this, m_backupFolderBox->text());
    if (chosen.isEmpty()) {
        return;
    }
    // No trailing separator, except for a root.
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(chosen));
    m_backupFolderBox->setText(path);
    CurrentSettings::folderTyped();
    m_backupFolderBox->setCursorPosition(int(path.size()));
    m_backupFolderBox->setFocus();
}

void SettingsWindow::save()
{
    QString error;
    if (!SettingsStore::writeFolderAndMargins(m_backupFolderBox->text(), m_leftMarginBox->text(),
                                              m_topMarginBox->text(), &error)) {
        MessageBox::warning(this, QStringLiteral("设置没有保存。\n原因：") + error);
        return;
    }
    unload();
}

void SettingsWindow::changePassword()
{
    // The password is kept as it is stored and read back: had the engine's
    // normalisation uncovered a blank at either end, the stored password
    // could never be typed as the old one again.
    const QString newPassword = trimSpaces(Database::storable(m_newPasswordBox->text()));
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
    if (trimSpaces(Database::storable(m_oldPasswordBox->text())) != settings.password) {
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
        CurrentSettings::drop();
    }
    event->accept();
}

} // namespace brenvoll
