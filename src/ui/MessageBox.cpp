#include "MessageBox.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QQueue>
#include <QUrl>

namespace brenvoll {

namespace {
bool g_answerMode = false;
QQueue<QMessageBox::StandardButton> g_answers;
QList<MessageBox::Shown> g_shown;
QQueue<QString> g_paths;
QStringList g_proposed;
QStringList g_opened;

const QString kTitle = QStringLiteral("提示");
} // namespace

QMessageBox::StandardButton MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton, const QString& detail)
{
    if (g_answerMode) {
        g_shown.append({text, icon, buttons, detail});
        if (buttons == QMessageBox::Ok) {
            return QMessageBox::Ok;
        }
        return g_answers.isEmpty() ? defaultButton : g_answers.dequeue();
    }
    QMessageBox box(icon, kTitle, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    box.setInformativeText(detail);
    return QMessageBox::StandardButton(box.exec());
}

void MessageBox::notice(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::NoIcon, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBox::information(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::Information, text, QMessageBox::Ok, QMessageBox::Ok);
}

void MessageBox::warning(QWidget* parent, const QString& text)
{
    show(parent, QMessageBox::Warning, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool MessageBox::askYesNo(QWidget* parent, const QString& text)
{
    return show(parent, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

bool MessageBox::askYesNo(QWidget* parent, const QString& text, const QString& detail)
{
    return show(parent, QMessageBox::Warning, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
                detail) == QMessageBox::Yes;
}

void MessageBox::setAnswerMode(bool on)
{
    g_answerMode = on;
    g_answers.clear();
    g_shown.clear();
    g_paths.clear();
    g_proposed.clear();
    g_opened.clear();
}

bool MessageBox::answerMode()
{
    return g_answerMode;
}

void MessageBox::queueAnswer(QMessageBox::StandardButton answer)
{
    g_answers.enqueue(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    QList<Shown> shown;
    shown.swap(g_shown);
    return shown;
}

QString FileDialogs::existingFolder(QWidget* parent, const QString& start)
{
    if (g_answerMode) {
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    return QFileDialog::getExistingDirectory(parent, QString(), start);
}

QString FileDialogs::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                  const QString& proposed)
{
    if (g_answerMode) {
        g_proposed << proposed;
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    QFileDialog dialog(parent, title, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void FileDialogs::queuePath(const QString& path)
{
    g_paths.enqueue(path);
}

QStringList FileDialogs::takeProposed()
{
    QStringList proposed;
    proposed.swap(g_proposed);
    return proposed;
}

void Shell::openPage(const QString& url)
{
    if (g_answerMode) {
        g_opened << url;
        return;
    }
    // A PC without a browser opens nothing: the operator learns where the
    // page is, to open it some other way.
    const QUrl page(url);
    if (!QDesktopServices::openUrl(page)) {
        MessageBox::notice(nullptr,
                           QStringLiteral("无法打开浏览器。这一页在：%1")
                               .arg(page.isLocalFile() ? QDir::toNativeSeparators(page.toLocalFile()) : url));
    }
}

QStringList Shell::takeOpened()
{
    QStringList opened;
    opened.swap(g_opened);
    return opened;
}

} // namespace brenvoll
