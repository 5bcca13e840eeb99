// The second process of the robustness tests. It works on a program folder
// as the program does and tells its parent, one flushed line at a time, what
// it has done:
//
//   crash-writer FOLDER SEED   saves records of the key pool for ever, each
//                              with the next stamp; "saved KEY STAMP" after
//                              each save that reported success
//   writer FOLDER TAG COUNT same|distinct
//                              COUNT saves, of keys of its own or all of one
//                              shared key; "saved KEY STAMP" or "failed REASON",
//                              then "done"
//   phrases FOLDER TAG COUNT   COUNT phrase adds "TAG-i"; "added TAG-i" or
//                              "failed REASON", then "done"
//   settings FOLDER TAG COUNT  COUNT settings saves (folder "TAG-i", margins
//                              i); "set TAG-i" or "failed REASON", then "done"
//   desk FOLDER TAG COUNT      as a workstation on the main window (offscreen),
//                              COUNT times: 新建 under a key issued from the
//                              clock, the sheet filled, 保存 (the next free key
//                              when taken meanwhile), "added KEY"; then the
//                              shared record found in the list, loaded and
//                              saved with stamp "TAG-i/BASE" (BASE the stamp
//                              loaded), "updated STAMP", or "changed" when
//                              asked whether to overwrite another desk's
//                              change (answered no); then "done"
//   typist FOLDER SEED         opens the main window (offscreen) and types on
//                              its blank sheet for ever, keystroke after
//                              keystroke with short pauses; "key KEY" and
//                              "ready" first, "drafted N" after each draft
//                              written when N keystrokes were typed
//   copy FOLDER                one copy of the program on the main window
//                              (offscreen, shown and active), told what to
//                              do one line at a time on its input:
//                              "type TEXT" types TEXT into the box that has
//                              the focus and presses Enter, "in COLUMN" (the
//                              box typed into) and "typed N" (N: the type
//                              lines done);
//                              "close" closes the main window as the
//                              operator does (its backup on close
//                              included), "shown TEXT" for each message
//                              (line breaks as " | "), then "closed".
//                              Between lines no event is processed: no
//                              timer fires
//   hold FOLDER MS             takes the database's exclusive lock, says "held",
//                              and keeps it MS milliseconds (MS < 0: until its
//                              input closes)
//   restore FOLDER COPY [later]
//                              restores the backup COPY over the database as
//                              the window "恢复备份" does; "restored" or
//                              "failed REASON". With "later": "ready", and
//                              the restore once its input closes
//   backup FOLDER BACKUPFOLDER "ready"; once its input closes, backs the
//                              database up into the day folder 7日 of
//                              BACKUPFOLDER (the database standing in for the
//                              program file too); "backed up" or "failed
//                              REASON"
#include "StampedRecord.h"
#include "backup/Backup.h"
#include "backup/Restore.h"
#include "base/Clock.h"
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "phrases/PhraseStore.h"
#include "record/RecordStore.h"
#include "settings/SettingsStore.h"
#include "sheet/SheetView.h"
#include "storage/Database.h"
#include "storage/ServerConfig.h"
#include "ui/MessageBox.h"
#include "ui/ProgramEnd.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <vector>

using namespace brenvoll;

namespace {

constexpr int kPoolSize = 48;

void say(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void waitForInputToClose()
{
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

// As the program: the server of the folder's brenvoll.ini, else 数据库.db.
bool openFolder(const QString& folder)
{
    QString error;
    const auto server = readServerConfig(folder, &error);
    if (server ? !Database::openServer(*server, &error) : !Database::open(connectionString(folder), &error)) {
        say(QStringLiteral("failed ") + error);
        return false;
    }
    return true;
}

int crashWriter(const QString& folder, quint32 seed)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    QRandomGenerator rng(seed);
    for (;;) {
        const QString key = robust::poolKey(int(rng.bounded(quint32(kPoolSize))));
        ExamRecord stored;
        QString error;
        int version = 0;
        if (RecordStore::load(key, stored, &error)) {
            version = robust::stampOf(stored).toInt();
        } else if (RecordStore::exists(key)) {
            say(QStringLiteral("failed ") + error);
            return 1;
        }
        const QString stamp = QString::number(version + 1);
        if (!RecordStore::save(robust::stampedRecord(key, stamp), &error)) {
            say(QStringLiteral("failed ") + error);
            return 1;
        }
        say(QStringLiteral("saved ") + key + u' ' + stamp);
    }
}

int writer(const QString& folder, const QString& tag, int count, bool sameKey)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    for (int i = 0; i < count; ++i) {
        const QString key = sameKey ? QStringLiteral("20260202000000")
                                    : QStringLiteral("2026030%1%2").arg(tag).arg(i, 6, 10, QChar(u'0'));
        const QString stamp = tag + u'-' + QString::number(i);
        QString error;
        if (RecordStore::save(robust::stampedRecord(key, stamp), &error)) {
            say(QStringLiteral("saved ") + key + u' ' + stamp);
        } else {
            say(QStringLiteral("failed ") + error);
        }
    }
    say(QStringLiteral("done"));
    return 0;
}

// The operator's one step on the main window: what it showed, as a line.
QString outcome(const QString& done)
{
    const auto shown = MessageBox::takeShown();
    MessageBox::setAnswerMode(true); // no answer left queued for the next step
    return shown.isEmpty() ? done : QStringLiteral("failed ") + shown.constFirst().text;
}

int desk(const QString& folder, const QString& tag, int count)
{
    if (!openFolder(folder)) {
        return 1;
    }
    MessageBox::setAnswerMode(true);
    // Every desk's clock stands at the same minute: all are issued the same
    // keys and must move on to free ones.
    Clock::setFixed(QDateTime(QDate(2026, 3, 1), QTime(8, 0)));
    MainWindow form;
    say(QStringLiteral("ready"));
    const QString shared = QStringLiteral("20260202000000");
    const QString changedQuestion = QStringLiteral("此记录已被其他工作站修改。是否覆盖？");
    for (int i = 0; i < count; ++i) {
        // 新建, the sheet filled in, 保存.
        form.newRecord();
        form.sheet()->setRecord(robust::stampedRecord(form.box(Field::Key)->text(), tag));
        form.saveRecord();
        say(outcome(QStringLiteral("added ") + form.box(Field::Key)->text()));

        // The shared record found in the list, changed, 保存; told of a
        // change by another desk, the operator keeps the other desk's.
        form.findChild<QLineEdit*>(QStringLiteral("Text1"))->clear();
        form.findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("2026-01-01"));
        form.findChild<QLineEdit*>(QStringLiteral("Text4"))->setText(QStringLiteral("2026-12-31"));
        form.search();
        int line = 0;
        while (line < form.lineCount() && form.keyOfLine(line) != shared) {
            ++line;
        }
        form.selectLine(line);
        const QString stamp =
            tag + u'-' + QString::number(i) + u'/' + robust::stampOf(form.sheet()->record());
        if (form.box(Field::Key)->text() != shared) {
            say(outcome(QStringLiteral("failed the shared record was not loaded")));
            continue;
        }
        form.sheet()->setRecord(robust::stampedRecord(shared, stamp));
        MessageBox::queueAnswer(QMessageBox::No);
        form.saveRecord();
        const auto shown = MessageBox::takeShown();
        MessageBox::setAnswerMode(true);
        if (shown.isEmpty()) {
            say(QStringLiteral("updated ") + stamp);
        } else if (shown.size() == 1 && shown[0].text == changedQuestion) {
            say(QStringLiteral("changed"));
        } else {
            say(QStringLiteral("failed ") + shown[0].text);
        }
    }
    say(QStringLiteral("done"));
    return 0;
}

int phrases(const QString& folder, const QString& tag, int count)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    for (int i = 0; i < count; ++i) {
        const QString phrase = tag + u'-' + QString::number(i);
        QString error;
        say(PhraseStore::add(phrase, &error) ? QStringLiteral("added ") + phrase
                                             : QStringLiteral("failed ") + error);
    }
    say(QStringLiteral("done"));
    return 0;
}

int settings(const QString& folder, const QString& tag, int count)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    for (int i = 0; i < count; ++i) {
        const QString value = tag + u'-' + QString::number(i);
        QString error;
        say(SettingsStore::writeFolderAndMargins(value, QString::number(i), QString::number(i), &error)
                ? QStringLiteral("set ") + value
                : QStringLiteral("failed ") + error);
    }
    say(QStringLiteral("done"));
    return 0;
}

int typist(const QString& folder, quint32 seed)
{
    if (!openFolder(folder)) {
        return 1;
    }
    MessageBox::setAnswerMode(true);
    QRandomGenerator rng(seed);
    MainWindow form;
    form.loadOnStart();
    // Some of the typist's pauses are longer: drafts are written at random
    // moments between keystrokes.
    form.drafts()->setPause(1 + int(rng.bounded(8u)));
    int typed = 0;
    QObject::connect(form.drafts(), &SheetDrafts::changed,
                     [&typed] { say(QStringLiteral("drafted ") + QString::number(typed)); });
    say(QStringLiteral("key ") + form.box(Field::Key)->text());
    say(QStringLiteral("ready"));
    for (;;) {
        const robust::Keystroke stroke = robust::keystroke(typed++);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(stroke.text));
        QCoreApplication::sendEvent(form.box(stroke.field), &press);
        QThread::usleep(rng.bounded(4u) == 0 ? rng.bounded(12000u) : 0);
        QCoreApplication::processEvents();
    }
}

int copy(const QString& folder)
{
    if (!openFolder(folder)) {
        return 1;
    }
    MessageBox::setAnswerMode(true);
    std::vector<MessageBox::Shown> shown;
    setProgramEnder([&shown] {
        const auto atEnd = MessageBox::takeShown();
        shown.insert(shown.end(), atEnd.begin(), atEnd.end());
    });
    auto* form = new MainWindow();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->loadOnStart();
    form->show();
    QApplication::setActiveWindow(form);
    QDeadlineTimer deadline(10000);
    while (!form->isActiveWindow() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!form->isActiveWindow()) {
        say(QStringLiteral("failed the main window did not become active"));
        return 1;
    }
    say(QStringLiteral("ready"));
    int typed = 0;
    std::string input;
    while (std::getline(std::cin, input)) {
        const QString line = QString::fromStdString(input);
        if (line.startsWith(QLatin1String("type "))) {
            QWidget* box = QApplication::focusWidget();
            for (const BoxDef& def : FieldMap::boxes()) {
                if (form->box(def.field) == box) {
                    say(QStringLiteral("in ") + def.column);
                }
            }
            for (const QChar ch : line.mid(5)) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
                QCoreApplication::sendEvent(box, &press);
            }
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &enter);
            say(QStringLiteral("typed ") + QString::number(++typed));
        } else if (line == QLatin1String("close")) {
            form->close();
            const auto left = MessageBox::takeShown();
            shown.insert(shown.end(), left.begin(), left.end());
            for (const MessageBox::Shown& message : shown) {
                say(QStringLiteral("shown ") + QString(message.text).replace(u'\n', QStringLiteral(" | ")));
            }
            say(QStringLiteral("closed"));
            return 0;
        }
    }
    return 0;
}

int hold(const QString& folder, int milliseconds)
{
    sqlite3* db = nullptr;
    const QByteArray path = databasePath(folder).toUtf8();
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        say(QStringLiteral("failed ") + QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_close(db);
        return 1;
    }
    say(QStringLiteral("held"));
    if (milliseconds >= 0) {
        QThread::msleep(ulong(milliseconds));
    } else {
        waitForInputToClose();
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    say(QStringLiteral("released"));
    return 0;
}

int restore(const QString& folder, const QString& copy, bool later)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    if (later) {
        waitForInputToClose();
    }
    Restore job(copy, databasePath(folder), QDateTime::currentDateTime());
    if (!job.prepare() || !job.replace()) {
        say(QStringLiteral("failed ") + job.error());
        return 1;
    }
    say(QStringLiteral("restored"));
    return 0;
}

int backup(const QString& folder, const QString& backupFolder)
{
    if (!openFolder(folder)) {
        return 1;
    }
    say(QStringLiteral("ready"));
    waitForInputToClose();
    const QString database = databasePath(folder);
    const QStringList failures = Backup::run(backupFolder, QDate(2026, 5, 7), database, database);
    if (!failures.isEmpty()) {
        say(QStringLiteral("failed ") + failures.join(u' '));
        return 1;
    }
    say(QStringLiteral("backed up"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "typist") == 0) {
        QApplication app(argc, argv);
        return typist(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toUInt());
    }
    if (argc == 3 && qstrcmp(argv[1], "copy") == 0) {
        QApplication app(argc, argv);
        return copy(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 5 && qstrcmp(argv[1], "desk") == 0) {
        QApplication app(argc, argv);
        return desk(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                    QByteArray(argv[4]).toInt());
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString command = args.value(1);
    const QString folder = args.value(2);
    if (command == QLatin1String("crash-writer") && args.size() == 4) {
        return crashWriter(folder, args[3].toUInt());
    }
    if (command == QLatin1String("writer") && args.size() == 6) {
        return writer(folder, args[3], args[4].toInt(), args[5] == QLatin1String("same"));
    }
    if (command == QLatin1String("phrases") && args.size() == 5) {
        return phrases(folder, args[3], args[4].toInt());
    }
    if (command == QLatin1String("settings") && args.size() == 5) {
        return settings(folder, args[3], args[4].toInt());
    }
    if (command == QLatin1String("hold") && args.size() == 4) {
        return hold(folder, args[3].toInt());
    }
    if (command == QLatin1String("restore") &&
        (args.size() == 4 || args.value(4) == QLatin1String("later"))) {
        return restore(folder, args[3], args.size() == 5);
    }
    if (command == QLatin1String("backup") && args.size() == 4) {
        return backup(folder, args[3]);
    }
    std::fputs("usage: brenvoll-robustness-helper "
               "crash-writer|writer|phrases|settings|typist|copy|hold|restore|backup "
               "FOLDER ...\n",
               stderr);
    return 2;
}
