#include "DeskLine.h"

#include "storage/Database.h"
#include "ui/Twips.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>

namespace brenvoll {

namespace {
const QString kEllipsis = QStringLiteral("…");

// Twips from the band's top and right edge: the height of its buttons.
constexpr int kTopTwips = 150;
constexpr int kHeightTwips = 555;
constexpr int kRightMarginTwips = 120;

QString shortenedPlace(const QString& place, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(place) <= width) {
        return place;
    }
    const QStringList parts = place.split(u'/');
    QString shortest = place;
    for (qsizetype first = 1; first < parts.size(); ++first) {
        shortest = kEllipsis + u'/' + parts.mid(first).join(u'/');
        if (metrics.horizontalAdvance(shortest) <= width) {
            return shortest;
        }
    }
    return metrics.elidedText(shortest, Qt::ElideLeft, qMax(0, width));
}
} // namespace

DatabasePlace DatabasePlace::current()
{
    const QString file = Database::filePath();
    if (!file.isEmpty()) {
        return {false, QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath())};
    }
    return {true, Database::serverName() + u'/' + Database::connection().databaseName()};
}

QString deskLineText(const DatabasePlace& place, const QString& operatorName, const QFontMetrics& metrics,
                     int width)
{
    const QString head =
        place.onServer ? QStringLiteral("数据库：服务器 ") : QStringLiteral("数据库：本机文件 ");
    const QString tail = operatorName.isEmpty() ? QString() : QStringLiteral("　操作员：") + operatorName;
    const int room = width - metrics.horizontalAdvance(head) - metrics.horizontalAdvance(tail);
    return head + shortenedPlace(place.where, metrics, room) + tail;
}

DeskLine::DeskLine(QWidget* band, int leftTwips) : QLabel(band), m_leftTwips(leftTwips)
{
    setObjectName(QStringLiteral("DeskLine"));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    band->installEventFilter(this);
    fit();
}

void DeskLine::showDesk(const DatabasePlace& place, const QString& operatorName)
{
    m_place = place;
    m_operator = operatorName;
    fit();
}

bool DeskLine::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        fit();
    }
    return QLabel::eventFilter(watched, event);
}

void DeskLine::fit()
{
    const int left = twips::toPx(this, m_leftTwips);
    const int right = parentWidget()->width() - twips::toPx(this, kRightMarginTwips);
    setGeometry(left, twips::toPx(this, kTopTwips), qMax(0, right - left), twips::toPx(this, kHeightTwips));
    if (m_place.where.isEmpty()) {
        clear();
        return;
    }
    setText(deskLineText(m_place, m_operator, fontMetrics(), width()));
    // The whole place, however short the line is.
    setToolTip(deskLineText(m_place, m_operator, fontMetrics(), QWIDGETSIZE_MAX / 2));
}

} // namespace brenvoll
