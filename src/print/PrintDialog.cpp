#include "PrintDialog.h"

#include "SheetPrinter.h"
#include "app/MessageBox.h"
#include "app/Twips.h"
#include "mainwindow/MainWindow.h"
#include "record/ResultList.h"
#include "record/SheetView.h"

#include <QCoreApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

// The dialog's picture lives in this library's resources, which a static
// library must register itself.
static void registerPrintResources()
{
    Q_INIT_RESOURCE(print);
}

namespace brenvoll {

namespace {
const QString kEmptyListMessage = QStringLiteral("无当前打印表格，请查询后再打印！");
} // namespace

QPointer<PrintDialog> PrintDialog::s_instance;

PrintDialog* PrintDialog::showWindow()
{
    if (!s_instance) {
        s_instance = new PrintDialog();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

PrintDialog* PrintDialog::loaded()
{
    return s_instance;
}

PrintDialog::PrintDialog(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    registerPrintResources();
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("打印"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(3900), px(2370));

    auto place = [this](QWidget* w, int left, int top, int width, int height) {
        w->setGeometry(px(left), px(top), px(width), px(height));
    };

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    place(Image1, 480, 480, 1035, 915);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QIcon(QStringLiteral(":/print/printer.svg")).pixmap(Image1->size()));

    Frame1 = new QFrame(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Sunken);
    place(Frame1, 1800, 300, 1755, 1215);

    // Inside one frame the two options exclude each other.
    Option1 = new QRadioButton(QStringLiteral("打印当前表格"), Frame1);
    Option1->setObjectName(QStringLiteral("Option1"));
    place(Option1, 120, 300, 1455, 255);
    Option2 = new QRadioButton(QStringLiteral("批量打印"), Frame1);
    Option2->setObjectName(QStringLiteral("Option2"));
    place(Option2, 120, 720, 1455, 255);

    Command1 = new QPushButton(QStringLiteral("确 定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    place(Command1, 1740, 1860, 975, 375);
    Command1->setAutoDefault(false);
    Command2 = new QPushButton(QStringLiteral("取 消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    place(Command2, 2760, 1860, 975, 375);
    Command2->setAutoDefault(false);

    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Command1);
    setTabOrder(Command1, Command2);

    connect(Command1, &QPushButton::clicked, this, &PrintDialog::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &PrintDialog::Command2_Click);

    Form_Load();
}

int PrintDialog::px(double twips) const
{
    return twips::toPx(this, twips);
}

// Centred on the screen, 300 twips above the middle.
void PrintDialog::Form_Load()
{
    Option1->setChecked(true);
    twips::centreOnScreen(this, 300);
}

void PrintDialog::Command1_Click()
{
    hide();
    MainWindow* main = MainWindow::instance();
    if (Option1->isChecked()) {
        if (main) {
            main->printSheet();
        }
    } else if (Option2->isChecked()) {
        if (!main || main->lineCount() < 1) {
            // The dialog stays loaded, hidden, with the batch still chosen.
            MessageBox::notice(main, kEmptyListMessage);
            return;
        }
        printBatch(*main);
    }
    close();
}

void PrintDialog::Command2_Click()
{
    close();
}

// Every listed record from the selected line (or the first) to the last, each
// loaded by the list's own selection handling and printed as its own job. The
// batch stops at the first page that does not come out and says so.
void PrintDialog::printBatch(MainWindow& main)
{
    if (!PrintTarget::available()) {
        MessageBox::warning(&main, kNoPrinterMessage);
        return;
    }
    if (main.selectedLine() < 0) {
        main.selectLine(0);
    }
    const int last = main.lineCount() - 1;
    const int start = main.selectedLine();
    const int pages = last - start + 1;

    std::unique_ptr<QProgressDialog> progress;
    if (pages > kQuietBatchPages) {
        progress = std::make_unique<QProgressDialog>(QString(), QStringLiteral("取 消"), 0, pages, &main);
        progress->setObjectName(QStringLiteral("printProgress"));
        progress->setWindowTitle(QStringLiteral("打印"));
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->show();
    }

    int printed = 0;
    for (int i = start; i <= last; ++i) {
        if (progress) {
            progress->setLabelText(
                QStringLiteral("正在打印第 %1 页，共 %2 页……").arg(printed + 1).arg(pages));
            progress->setValue(printed);
            QCoreApplication::processEvents();
            if (progress->wasCanceled()) {
                MessageBox::notice(&main, QStringLiteral("批量打印已取消，已打印 %1 页。").arg(printed));
                return;
            }
        }
        main.selectLine(i);
        const QString key = main.keyOfLine(i);
        // The line that was already selected is not loaded again by selecting
        // it; a sheet that shows another record by then (a new sheet) is.
        if (main.box(Field::Key)->text() != key) {
            main.loadSelectedRecord();
        }
        PrintOutcome outcome;
        if (main.box(Field::Key)->text() != key) {
            // Printing whatever the sheet still shows would put another
            // person's findings under this name.
            outcome.status = PrintOutcome::Failed;
            outcome.reason = QStringLiteral("无法读取该记录。");
        } else {
            outcome = printShownSheet(*main.sheet());
        }
        if (!outcome.ok()) {
            const QString why =
                outcome.status == PrintOutcome::NoPrinter ? kNoPrinterMessage : outcome.reason;
            MessageBox::warning(
                &main, QStringLiteral("第 %1 页（%2）没有打印出来：%3\n批量打印已停止，已打印 %4 页。")
                           .arg(QString::number(printed + 1), main.results()->textAt(i), why,
                                QString::number(printed)));
            return;
        }
        ++printed;
    }
}

} // namespace brenvoll
