#include "ReportWindow.h"

#include "ReportModel.h"
#include "app/Clock.h"
#include "app/MessageBox.h"
#include "app/Twips.h"
#include "record/DateRules.h"

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
    if (!s_instance) {
        s_instance = new ReportWindow();
        s_instance->Form_Load();
    }
    s_instance->show();
    s_instance->raise();
    s_instance->activateWindow();
    return s_instance;
}

ReportWindow* ReportWindow::loaded()
{
    return s_instance;
}

QString ReportWindow::w(const QString& name)
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
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFrameShape(QFrame::Panel);
    Picture1->setFrameShadow(QFrame::Sunken);
    place(Picture1, 60, 120, 14535, 8655);

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
        auto* button = new QPushButton(QString::fromUtf16(head.caption), Picture1);
        button->setObjectName(QStringLiteral("Command1_%1").arg(head.index));
        button->setFocusPolicy(Qt::NoFocus);
        place(button, head.left, 0, head.width, 315);
        Command1[size_t(head.index)] = button;
    }

    m_report = new ReportModel(this);
    List1 = new QListView(Picture1);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setModel(m_report);
    List1->setUniformItemSizes(true);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setFont(reportFont());
    place(List1, 0, 300, 14475, 8310);
}

void ReportWindow::buildInputs()
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    place(Frame1, 2220, 8940, 7095, 735);

    auto caption = [this](QWidget* parent, const QString& name, const QString& text, int l, int t, int w,
                          int h) {
        auto* label = new QLabel(text, parent);
        label->setObjectName(name);
        place(label, l, t, w, h);
        label->adjustSize();
        return label;
    };
    auto edit = [this](const QString& name, int l, int t) {
        auto* box = new QLineEdit(Frame1);
        box->setObjectName(name);
        place(box, l, t, 1515, 315);
        return box;
    };
    Label30 = caption(Frame1, QStringLiteral("Label30"), QStringLiteral("地址："), 180, 300, 540, 180);
    Text2 = edit(QStringLiteral("Text2"), 780, 240);
    Label31[0] =
        caption(Frame1, QStringLiteral("Label31_0"), QStringLiteral("日期：从"), 2520, 300, 720, 180);
    Text3 = edit(QStringLiteral("Text3"), 3420, 240);
    Label31[1] = caption(Frame1, QStringLiteral("Label31_1"), QStringLiteral("至"), 5100, 300, 180, 180);
    Text4 = edit(QStringLiteral("Text4"), 5400, 240);

    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label1 = caption(this, QStringLiteral("Label1"), QStringLiteral("记录数：0"), 120, 9000, 810, 180);
    Label1->setPalette(blue);
    Label2 =
        caption(this, QStringLiteral("Label2"),
                QStringLiteral("如需打印报表，可导出到Excel后，再在Excel中打印。"), 9540, 9660, 4320, 180);
    Label2->setPalette(blue);

    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    place(Text1, 300, 9420, 795, 270);
    Text1->hide();

    auto button = [this](const QString& name, const QString& text, int left) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        place(b, left, 9120, 1575, 435);
        return b;
    };
    Command3 = button(QStringLiteral("Command3"), QStringLiteral("查  询"), 9540);
    Command4 = button(QStringLiteral("Command4"), QStringLiteral("导出到Excel"), 11220);
    Command2 = button(QStringLiteral("Command2"), QStringLiteral("退  出"), 12900);
    connect(Command3, &QPushButton::clicked, this, &ReportWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ReportWindow::Command4_Click);
    connect(Command2, &QPushButton::clicked, this, &ReportWindow::Command2_Click);
}

void ReportWindow::Form_Load()
{
    twips::centreOnScreen(this);
    const QDate today = Clock::today();
    Text3->setText(formatDate(oneYearBefore(today)));
    Text4->setText(formatDate(today));
}

void ReportWindow::setCount(qsizetype count)
{
    Label1->setText(QStringLiteral("计录数：") + QString::number(count));
    Label1->adjustSize();
}

bool ReportWindow::queryRows(std::vector<ReportRow>& rows)
{
    QString error;
    const ReportFilter filter{Text2->text(), Text3->text(), Text4->text()};
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ReportQuery::Error result = ReportQuery::run(filter, rows, &error);
    QGuiApplication::restoreOverrideCursor();
    switch (result) {
    case ReportQuery::Error::None:
        setCount(qsizetype(rows.size()));
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

void ReportWindow::Command3_Click()
{
    m_report->clear();
    std::vector<ReportRow> rows;
    if (!queryRows(rows)) {
        return;
    }
    std::vector<QString> lines;
    lines.reserve(rows.size());
    for (const ReportRow& row : rows) {
        lines.push_back(reportLine(row));
    }
    m_report->setLines(std::move(lines));
}

void ReportWindow::Command2_Click()
{
    close();
}

} // namespace brenvoll
