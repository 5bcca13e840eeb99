#include "PrintDialog.h"

#include "BatchProgress.h"
#include "BatchSheets.h"
#include "SheetPrinter.h"
#include "sheet/SheetView.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

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

PrintDialog* PrintDialog::showWindow(const PrintHost& host)
{
    PrintDialog* dialog = singleWindow(s_instance, [] { return new PrintDialog(); });
    dialog->m_host = host;
    bringToFront(dialog);
    return dialog;
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

    // Each control keeps its designed name as its object name.
    m_printerPicture = new QLabel(this);
    m_printerPicture->setObjectName(QStringLiteral("Image1"));
    place(m_printerPicture, 480, 480, 1035, 915);
    m_printerPicture->setAlignment(Qt::AlignCenter);
    m_printerPicture->setPixmap(
        QIcon(QStringLiteral(":/print/printer.svg")).pixmap(m_printerPicture->size()));

    m_choiceFrame = new QFrame(this);
    m_choiceFrame->setObjectName(QStringLiteral("Frame1"));
    m_choiceFrame->setFrameShape(QFrame::Box);
    m_choiceFrame->setFrameShadow(QFrame::Sunken);
    place(m_choiceFrame, 1800, 300, 1755, 1215);

    // Inside one frame the two options exclude each other.
    m_currentSheetOption = new QRadioButton(QStringLiteral("打印当前表格"), m_choiceFrame);
    m_currentSheetOption->setObjectName(QStringLiteral("Option1"));
    place(m_currentSheetOption, 120, 300, 1455, 255);
    m_batchOption = new QRadioButton(QStringLiteral("批量打印"), m_choiceFrame);
    m_batchOption->setObjectName(QStringLiteral("Option2"));
    place(m_batchOption, 120, 720, 1455, 255);

    m_okButton = new QPushButton(QStringLiteral("确 定"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    place(m_okButton, 1740, 1860, 975, 375);
    m_cancelButton = new QPushButton(QStringLiteral("取 消"), this);
    m_cancelButton->setObjectName(QStringLiteral("Command2"));
    place(m_cancelButton, 2760, 1860, 975, 375);

    setTabOrder(m_currentSheetOption, m_batchOption);
    setTabOrder(m_batchOption, m_okButton);
    setTabOrder(m_okButton, m_cancelButton);

    connect(m_okButton, &QPushButton::clicked, this, &PrintDialog::printAsChosen);
    connect(m_cancelButton, &QPushButton::clicked, this, &PrintDialog::cancel);
    // Neither button is the default.
    enterPressesFocusedButton(this);

    loadOnStart();
}

int PrintDialog::px(double twips) const
{
    return twips::toPx(this, twips);
}

// Centred on the screen, 300 twips above the middle.
void PrintDialog::loadOnStart()
{
    m_currentSheetOption->setChecked(true);
    twips::centreOnScreen(this, 300);
}

void PrintDialog::printAsChosen()
{
    hide();
    if (m_currentSheetOption->isChecked()) {
        m_host.printSheet();
    } else if (m_batchOption->isChecked()) {
        if (m_host.lineCount() < 1) {
            // The dialog stays loaded, hidden, with the batch still chosen.
            MessageBox::notice(m_host.parent(), kEmptyListMessage);
            return;
        }
        printBatch();
    }
    close();
}

void PrintDialog::cancel()
{
    close();
}

// Every listed record from the selected line (or the first) to the last, each
// loaded by the list's own selection handling and printed as its own job. The
// batch stops at the first page that does not come out and says so.
void PrintDialog::printBatch()
{
    QWidget* const parent = m_host.parent();
    if (!PrintTarget::available()) {
        MessageBox::warning(parent, kNoPrinterMessage);
        return;
    }
    if (m_host.selectedLine() < 0) {
        m_host.selectLine(0);
    }
    const int last = m_host.lineCount() - 1;
    const int start = m_host.selectedLine();
    const int pages = last - start + 1;
    // Once for the whole batch, before its first page.
    tellFittedTexts(parent, batchFit(m_host, start));

    BatchProgress progress(parent, pages, QStringLiteral("打印"),
                           QStringLiteral("正在打印第 %1 页，共 %2 页……"), QStringLiteral("printProgress"));

    // The record key the sheet shows now.
    auto shownKey = [this] {
        const SheetView* sheet = m_host.sheet();
        return sheet ? sheet->box(Field::Key)->text() : QString();
    };
    int printed = 0;
    for (int i = start; i <= last; ++i) {
        if (!progress.next(printed)) {
            MessageBox::notice(parent, QStringLiteral("批量打印已取消，已打印 %1 页。").arg(printed));
            return;
        }
        m_host.selectLine(i);
        const QString key = m_host.keyOfLine(i);
        // The line that was already selected is not loaded again by selecting
        // it; a sheet that shows another record by then (a new sheet) is.
        if (shownKey() != key) {
            m_host.loadSelectedRecord();
        }
        PrintOutcome outcome;
        const SheetView* sheet = m_host.sheet();
        if (!sheet || sheet->box(Field::Key)->text() != key) {
            // Printing whatever the sheet still shows would put another
            // person's findings under this name.
            outcome.status = PrintOutcome::Failed;
            outcome.reason = QStringLiteral("无法读取该记录。");
        } else {
            outcome = printShownSheet(*sheet);
        }
        if (!outcome.ok()) {
            const QString why =
                outcome.status == PrintOutcome::NoPrinter ? kNoPrinterMessage : outcome.reason;
            MessageBox::warning(
                parent,
                QStringLiteral("第 %1 页（%2）没有打印出来：%3\n批量打印已停止，已打印 %4 页。")
                    .arg(QString::number(printed + 1), m_host.textOfLine(i), why, QString::number(printed)));
            return;
        }
        ++printed;
    }
}

} // namespace brenvoll
