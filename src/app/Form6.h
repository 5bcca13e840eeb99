#pragma once
// The settings window "综合设置". Its fields Text1 (backup folder), Text4 (left
// margin) and Text5 (top margin) are the program's in-memory copy of the
// settings record: reading them through get() loads the window hidden.
#include <QDialog>
#include <QPointer>

class QLineEdit;

namespace brenvoll {

class Form6 : public QDialog
{
    Q_OBJECT
public:
    // The loaded window, loading it hidden (fields filled from 设置) if needed.
    static Form6* get();
    // Shows the window (loading it if needed) and brings it to the front.
    static Form6* showWindow();
    // The loaded window or null.
    static Form6* loaded();

    QString backupFolder() const;
    QString leftMarginText() const;
    QString topMarginText() const;

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;

private:
    explicit Form6(QWidget* parent = nullptr);
    void Form_Load();

    static QPointer<Form6> s_instance;
};

} // namespace brenvoll
