// Writing the draft of a typed sheet, as the main window does when typing
// pauses or the sheet is about to be replaced: the sheet's texts read, compared
// with its starting point and written (one transaction, synced) into the
// drafts file beside a copy of the delivered database, on the disk of the
// build folder. Every box is filled, and every tenth sheet is a new one, so
// that the file holds its full 50 drafts and drops the oldest.
#include "base/ProgramPaths.h"
#include "drafts/SheetDrafts.h"
#include "mainwindow/MainWindow.h"
#include "storage/Database.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace brenvoll;

namespace {
constexpr double kGoalMs = 20;
constexpr int kWrites = 1000;

double at(std::vector<double> v, double fraction)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, size_t(double(v.size()) * fraction))];
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MessageBox::setAnswerMode(true);

    const QString folder = QString::fromUtf8(BRENVOLL_BENCH_FOLDER);
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const QString db = databasePath(folder);
    if (!QFile::copy(QString::fromUtf8(BRENVOLL_TEMPLATE_DB), db)) {
        std::fprintf(stderr, "cannot copy the delivered database\n");
        return 1;
    }
    QFile::setPermissions(db, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QString error;
    if (!Database::open(connectionString(folder), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    MainWindow form;
    form.loadOnStart();
    form.show();
    SheetDrafts* drafts = form.drafts();
    std::vector<double> writes;
    for (int i = 0; i < kWrites; ++i) {
        if (i % 10 == 0) {
            form.newRecord();
        }
        for (const BoxDef& def : FieldMap::boxes()) {
            if (def.field != Field::Key) {
                form.box(def.field)->setText(
                    QStringLiteral("未见明显异常，建议定期复查 %1-%2").arg(i).arg(def.index));
            }
        }
        QElapsedTimer timer;
        timer.start();
        drafts->keep();
        writes.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    if (!drafts->isOn() || !MessageBox::takeShown().isEmpty()) {
        std::fprintf(stderr, "drafts were turned off during the benchmark\n");
        return 1;
    }
    std::vector<Draft> kept = drafts->list();
    std::printf(
        "draft write (%d writes, %zu drafts kept, full sync): median %.2f ms, 99th percentile %.2f ms, "
        "slowest %.2f ms\n",
        kWrites, kept.size(), at(writes, 0.5), at(writes, 0.99), at(writes, 1.0));
    const double target = at(writes, 0.99);
    std::printf("TARGET draft write: %.2f ms (goal %.0f ms): %s\n", target, kGoalMs,
                target <= kGoalMs ? "ok" : "MISSED");
    drafts->closeCleanly();
    Database::close();
    return 0;
}
