#include "ReportWindow.h"

#include "ReportModel.h"
#include "base/Clock.h"
#include "record/DateRules.h"
#include "ui/ButtonKeys.h"
#include "ui/MessageBox.h"
#include "ui/SingleWindow.h"
#include "ui/Twips.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

namespace brenvoll {

QPointer<ReportWindow> ReportWindow::s_instance;

ReportWindow* ReportWindow::showWindow()
{
    return showSingleWindow(s_instance, [] {
        auto* window = new ReportWindow();
        window->loadOnStart();
        return window;
    });
}

ReportWindow* ReportWindow::loaded()
{
    return s_instance;
}

QString ReportWindow::paddedName(const QString& name)
{
    return padName(name);
}

ReportWindow::ReportWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("生成报表"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(14670), px(10005));
    buildList();
    buildInputs();
    enterPressesFocusedButton(this);
}

int ReportWindow::px(double twips) const
{
    return twips::toPx(this, twips);
}

void ReportWindow::place(QWidget* widget, int left, int top, int width, int height) const
{
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QFont ReportWindow::reportFont() const
{
    // A fixed-pitch Chinese face in which a Chinese character is exactly two
    // half-width cells, so that the blanks of the report line align columns.
    // A cell is 90 twips wide, as in the window's designed font.
    QFont font(QStringLiteral("Noto Sans Mono CJK SC"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(px(180));
    return font;
}

void ReportWindow::buildList()
{
    m_listPanel = new QFrame(this);
    m_listPanel->setObjectName(QStringLiteral("Picture1"));
    m_listPanel->setFrameShape(QFrame::Panel);
    m_listPanel->setFrameShadow(QFrame::Sunken);
    place(m_listPanel, 60, 120, 14535, 8655);

    struct Head
    {
        int index;
        const char16_t* caption;
        int left;
        int width;
    };
    static const Head heads[] = {
        {0, u"编号", 0, 1755},   {1, u"姓名", 1740, 1395},     {2, u"性别", 3120, 795},
        {3, u"年龄", 3900, 795}, {5, u"体检结论", 4680, 9795},
    };
    for (const Head& head : heads) {
        // Plain captions: a click on a head does nothing.
        auto* button = new QPushButton(QString::fromUtf16(head.caption), m_listPanel);
        button->setObjectName(QStringLiteral("Command1_%1").arg(head.index));
        button->setFocusPolicy(Qt::NoFocus);
        place(button, head.left, 0, head.width, 315);
        m_columnHeads[size_t(head.index)] = button;
    }

    m_report = new ReportModel(this);
    m_reportList = new QListView(m_listPanel);
    m_reportList->setObjectName(QStringLiteral("List1"));
    m_reportList->setModel(m_report);
    m_reportList->setUniformItemSizes(true);
    m_reportList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_reportList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_reportList->setFont(reportFont());
    place(m_reportList, 0, 300, 14475, 8310);
}

void ReportWindow::buildInputs()
{
    m_filterPanel = new QGroupBox(this);
    m_filterPanel->setObjectName(QStringLiteral("Frame1"));
    place(m_filterPanel, 2220, 8940, 7095, 735);

    auto caption = [this](QWidget* parent, const QString& name, const QString& text, int l, int t, int w,
                          int h) {
        auto* label = new QLabel(text, parent);
        label->setObjectName(name);
        place(label, l, t, w, h);
        label->adjustSize();
        return label;
    };
    auto edit = [this](const QString& name, int l, int t) {
        auto* box = new QLineEdit(m_filterPanel);
        box->setObjectName(name);
        place(box, l, t, 1515, 315);
        return box;
    };
    m_addressCaption =
        caption(m_filterPanel, QStringLiteral("Label30"), QStringLiteral("地址："), 180, 300, 540, 180);
    m_addressFilter = edit(QStringLiteral("Text2"), 780, 240);
    m_fromCaption =
        caption(m_filterPanel, QStringLiteral("Label31_0"), QStringLiteral("日期：从"), 2520, 300, 720, 180);
    m_fromDate = edit(QStringLiteral("Text3"), 3420, 240);
    m_toCaption =
        caption(m_filterPanel, QStringLiteral("Label31_1"), QStringLiteral("至"), 5100, 300, 180, 180);
    m_toDate = edit(QStringLiteral("Text4"), 5400, 240);

    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_countLabel = caption(this, QStringLiteral("Label1"), QStringLiteral("记录数：0"), 120, 9000, 810, 180);
    m_countLabel->setPalette(blue);
    m_printHint =
        caption(this, QStringLiteral("Label2"),
                QStringLiteral("如需打印报表，可导出到Excel后，再在Excel中打印。"), 9540, 9660, 4320, 180);
    m_printHint->setPalette(blue);

    m_lastExportPath = new QLineEdit(this);
    m_lastExportPath->setObjectName(QStringLiteral("Text1"));
    place(m_lastExportPath, 300, 9420, 795, 270);
    m_lastExportPath->hide();

    auto button = [this](const QString& name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        place(b, left, 9120, 1575, 435);
        return b;
    };
    m_searchButton = button(QStringLiteral("Command3"), QStringLiteral("查  询"), 9540);
    m_exportButton = button(QStringLiteral("Command4"), QStringLiteral("导出到Excel"), 11220);
    m_closeButton = button(QStringLiteral("Command2"), QStringLiteral("退  出"), 12900);
    connect(m_searchButton, &QPushButton::clicked, this, &ReportWindow::search);
    connect(m_exportButton, &QPushButton::clicked, this, &ReportWindow::exportToExcel);
    connect(m_closeButton, &QPushButton::clicked, this, &ReportWindow::closeWindow);
}

void ReportWindow::loadOnStart()
{
    twips::centreOnScreen(this);
    const QDate today = Clock::today();
    m_fromDate->setText(formatDate(oneYearBefore(today)));
    m_toDate->setText(formatDate(today));
}

void ReportWindow::setCount(qsizetype count)
{
    m_countLabel->setText(QStringLiteral("计录数：") + QString::number(count));
    m_countLabel->adjustSize();
}

ReportFilter ReportWindow::filter() const
{
    return {m_addressFilter->text(), m_fromDate->text(), m_toDate->text()};
}

bool ReportWindow::queried(ReportQuery::Error result, const QString& error)
{
    switch (result) {
    case ReportQuery::Error::None:
        return true;
    case ReportQuery::Error::BadDate:
        MessageBox::warning(this, kReportDateMessage);
        return false;
    case ReportQuery::Error::Database:
        MessageBox::warning(this, QStringLiteral("无法查询记录：") + error);
        return false;
    }
    return false;
}

void ReportWindow::search()
{
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportQuery::Error result = m_report->load(filter(), &error);
    QGuiApplication::restoreOverrideCursor();
    if (queried(result, error)) {
        setCount(m_report->count());
    }
}

void ReportWindow::closeWindow()
{
    close();
}

} // namespace brenvoll
