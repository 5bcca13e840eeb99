#include "SchemaUpgrade.h"

#include "Backup.h"
#include "Restore.h"
#include "storage/Database.h"
#include "storage/SchemaSteps.h"
#include "storage/WriteTransaction.h"
#include "ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace brenvoll {

namespace {
SchemaUpgrade::Result failed(const QString& error, QString* copy)
{
    // The file is as it was: its copy would only pile up at every start.
    if (!copy->isEmpty()) {
        QFile::remove(*copy);
        copy->clear();
    }
    return {SchemaUpgrade::Outcome::Failed, error, {}};
}
} // namespace

SchemaUpgrade::Result SchemaUpgrade::run(const QDateTime& now)
{
    if (!Database::isOpen()) {
        return {Outcome::Failed, QStringLiteral("数据库没有打开。"), {}};
    }
    std::vector<int> missing;
    bool required = false;
    for (int step = 0; step < SchemaSteps::count(); ++step) {
        QString error;
        const std::optional<bool> present = SchemaSteps::present(step, &error);
        if (!present) {
            return {Outcome::Failed, error, {}};
        }
        if (!*present) {
            missing.push_back(step);
            required = required || !SchemaSteps::optional(step);
        }
    }
    if (missing.empty()) {
        return {};
    }
    QString copy;
    QString error;
    if (!takeSafetyCopy(now, &copy, &error)) {
        return required ? failed(error, &copy) : Result{Outcome::NothingToDo, error, {}};
    }
    QString skipped; // why a step the database works on without was left out
    bool changed = false;
    bool ok = false;
    {
        WriteTransaction transaction(&error);
        ok = transaction.isOpen();
        for (auto step = missing.begin(); ok && step != missing.end(); ++step) {
            if (SchemaSteps::optional(*step)) {
                const int taken = *step;
                changed = transaction.attempt(
                              [taken](QString* why) { return SchemaSteps::apply(taken, why); }, &skipped) ||
                          changed;
                // A failure the engine answered by ending the whole transaction.
                ok = transaction.isOpen();
                error = skipped;
            } else {
                ok = SchemaSteps::apply(*step, &error);
                changed = true;
            }
        }
        ok = ok && transaction.commit(&error);
    }
    if (!ok && required) {
        return failed(error, &copy);
    }
    if (!ok || !changed) {
        if (!copy.isEmpty()) {
            QFile::remove(copy);
        }
        return {Outcome::NothingToDo, ok ? skipped : error, {}};
    }
    return {Outcome::Upgraded, skipped, copy};
}

SchemaUpgrade::Result SchemaUpgrade::runAndTell(QWidget* parent, const QDateTime& now)
{
    Result result = run(now);
    if (result.outcome == Outcome::Failed) {
        MessageBox::warning(parent, failureMessage(result.error));
    }
    return result;
}

QString SchemaUpgrade::failureMessage(const QString& error)
{
    return QStringLiteral("无法为数据库添加历史版本的数据表，数据库保持原样：%1\n"
                          "程序照常使用，但本次运行中保存和删除不保留历史版本。")
        .arg(error);
}

bool SchemaUpgrade::takeSafetyCopy(const QDateTime& now, QString* copy, QString* error)
{
    copy->clear();
    if (Database::engine() != Database::Engine::SQLite) {
        return true;
    }
    const QString database = Database::filePath();
    const QDir folder = QFileInfo(database).absoluteDir();
    const QString name = Restore::safetyCopyName(now);
    QString path = folder.filePath(name);
    for (int n = 2; QFileInfo::exists(path); ++n) {
        path = folder.filePath(QString(name).insert(name.size() - 3, u'-' + QString::number(n)));
    }
    if (!Backup::copyDatabase(database, path, error, {}, Backup::Check::Quick)) {
        return false;
    }
    *copy = path;
    return true;
}

} // namespace brenvoll
