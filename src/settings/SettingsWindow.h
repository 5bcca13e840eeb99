#pragma once
// The settings window "综合设置". While it is loaded, its backup folder and
// its left and top margin boxes are the program's in-memory copy of the
// settings record (CurrentSettings): what is typed into it counts at once,
// saved or not, and unloading the window (save, exit, password change,
// close) drops the copy.
#include <QDialog>
#include <QPointer>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace brenvoll {

class SettingsWindow : public QDialog
{
    Q_OBJECT
public:
    // The loaded window, loading it hidden (boxes filled from the program's copy of
    // the settings, read from 设置 when there is none) if needed.
    static SettingsWindow* get();
    // Shows the window (loading it if needed) and brings it to the front.
    static SettingsWindow* showWindow();
    // The loaded window or null.
    static SettingsWindow* loaded();
    ~SettingsWindow() override;

    QString backupFolder() const;
    QString leftMarginText() const;
    QString topMarginText() const;

    // Why load could not read the settings record; null when it could, and
    // null again once the operator has typed or chosen a backup folder in
    // the window: that folder is then the window's copy, saved or not, and
    // the backup on close goes by it.
    QString loadError() const;

    // 浏览: picks the backup folder in the platform's folder browser.
    void browseForFolder();
    // 保 存: stores folder and margins as typed and unloads the window.
    void save();
    // 修改密码: stores the new password once the old one matches exactly.
    void changePassword();
    // 退 出, Escape and closing: closes the window and drops the in-memory
    // copy.
    void unload();

    QLineEdit* backupFolderBox() const { return m_backupFolderBox; }
    QPushButton* browseButton() const { return m_browseButton; }
    QLineEdit* leftMarginBox() const { return m_leftMarginBox; }
    QLineEdit* topMarginBox() const { return m_topMarginBox; }
    QLineEdit* oldPasswordBox() const { return m_oldPasswordBox; }
    QLineEdit* newPasswordBox() const { return m_newPasswordBox; }
    QPushButton* changePasswordButton() const { return m_changePasswordButton; }
    QPushButton* saveButton() const { return m_saveButton; }
    QPushButton* exitButton() const { return m_exitButton; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit SettingsWindow(QWidget* parent = nullptr);
    void buildPasswordFrame();
    void buildMarginFrame();
    void buildFolderFrame();
    // Centres the window and fills the boxes from the program's copy of the
    // settings record, read from the table afresh when `fresh`.
    void load(bool fresh = false);
    void mirrorIntoCopy();

    // 数据备份文件夹
    QGroupBox* m_folderFrame = nullptr;
    QLineEdit* m_backupFolderBox = nullptr;
    QPushButton* m_browseButton = nullptr;
    // 打印设置(单位：毫米)
    QGroupBox* m_marginFrame = nullptr;
    QLabel* m_leftMarginLabel = nullptr;
    QLineEdit* m_leftMarginBox = nullptr;
    QLabel* m_topMarginLabel = nullptr;
    QLineEdit* m_topMarginBox = nullptr;
    // 修改登录密码
    QGroupBox* m_passwordFrame = nullptr;
    QLabel* m_oldPasswordLabel = nullptr;
    QLineEdit* m_oldPasswordBox = nullptr;
    QLabel* m_newPasswordLabel = nullptr;
    QLineEdit* m_newPasswordBox = nullptr;
    QPushButton* m_changePasswordButton = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_exitButton = nullptr;

    static QPointer<SettingsWindow> s_instance;
};

} // namespace brenvoll
