#pragma once
// The settings window "综合设置". Its fields Text1 (backup folder), Text4 (left
// margin) and Text5 (top margin) are the program's in-memory copy of the
// settings record: reading them through get() loads the window hidden, what is
// typed into an open window counts at once, saved or not, and unloading the
// window (save, exit, password change, close) drops the copy.
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
    // The loaded window, loading it hidden (fields filled from 设置) if needed.
    static SettingsWindow* get();
    // Shows the window (loading it if needed) and brings it to the front.
    static SettingsWindow* showWindow();
    // The loaded window or null.
    static SettingsWindow* loaded();

    QString backupFolder() const;
    QString leftMarginText() const;
    QString topMarginText() const;

    // Why load could not read the settings record; null when it could.
    QString loadError() const { return m_loadError; }

    void Command1_Click(); // 浏览
    void Command2_Click(); // 保 存
    void Command3_Click(); // 修改密码
    void Command4_Click(); // 退 出
    // Closes the window and drops the in-memory copy.
    void unload();

    QGroupBox* Frame1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* Text5 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* Label10 = nullptr;
    QLineEdit* Text8 = nullptr;
    QLabel* Label14 = nullptr;
    QLineEdit* Text12 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command4 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    explicit SettingsWindow(QWidget* parent = nullptr);
    void buildPasswordFrame();
    void buildMarginFrame();
    void buildFolderFrame();
    void Form_Load();

    QString m_loadError;
    static QPointer<SettingsWindow> s_instance;
};

} // namespace brenvoll
