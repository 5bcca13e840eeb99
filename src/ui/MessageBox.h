#pragma once
// Every message box and file dialog of the program goes through here. Tests
// switch on answer mode: nothing modal opens, each box is recorded and answered
// from a queue, so that a handler runs to its end without a person.
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace brenvoll {

class MessageBox
{
public:
    // Title "提示", OK only, no icon.
    static void notice(QWidget* parent, const QString& text);
    // Title "提示", OK only, information icon.
    static void information(QWidget* parent, const QString& text);
    // Title "提示", OK only, exclamation icon.
    static void warning(QWidget* parent, const QString& text);
    // Title "提示", exclamation icon, Yes and No with Yes the default.
    static bool askYesNo(QWidget* parent, const QString& text);
    // As above, with a line of detail below the question.
    static bool askYesNo(QWidget* parent, const QString& text, const QString& detail);

    struct Shown
    {
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QString detail; // the line below the text, if any
    };

    // Answer mode for tests.
    static void setAnswerMode(bool on);
    static bool answerMode();
    // The answer to the next question (Yes when nothing is queued).
    static void queueAnswer(QMessageBox::StandardButton answer);
    // Boxes shown since the last call, oldest first.
    static QList<Shown> takeShown();

private:
    static QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::StandardButton defaultButton,
                                            const QString& detail = {});
};

class FileDialogs
{
public:
    // The platform's folder browser; empty when cancelled.
    static QString existingFolder(QWidget* parent, const QString& start = {});
    // The save dialog, proposing `proposed` (a file name, with or without a
    // folder); empty when cancelled.
    static QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                const QString& proposed = {});

    // Answer mode (shares MessageBox::answerMode): the next dialog returns
    // `path` at once; an empty path stands for cancel.
    static void queuePath(const QString& path);
    // The names the save dialogs proposed since the last call, oldest first.
    static QStringList takeProposed();
};

// Opens a page in the default browser. In answer mode the address is only
// recorded.
class Shell
{
public:
    static void openPage(const QString& url);
    static QStringList takeOpened();
};

} // namespace brenvoll
