#pragma once
// The desk line: one line in the right part of the toolbar band, which the
// buttons leave free, telling which database this desk works on and, where
// known, who works at it. It moves no other control.
#include <QLabel>
#include <QString>

class QFontMetrics;

namespace brenvoll {

// Where the desk's records are kept.
struct DatabasePlace
{
    bool onServer = false;
    QString where; // the database file's path, or "host:port/name" on a server

    // The place of the program's open connection.
    static DatabasePlace current();
};

// The desk line's text for `place` and `operatorName` (empty: none), fitted
// into `width` pixels of `metrics`: a place too long loses leading folders,
// marked by "…", and only then characters at its front; the rest stays whole.
QString deskLineText(const DatabasePlace& place, const QString& operatorName, const QFontMetrics& metrics,
                     int width);

class DeskLine : public QLabel
{
    Q_OBJECT
public:
    // In `band` from `leftTwips` to the band's right edge, following its width.
    DeskLine(QWidget* band, int leftTwips);

    void showDesk(const DatabasePlace& place, const QString& operatorName = QString());

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();

    int m_leftTwips;
    DatabasePlace m_place;
    QString m_operator;
};

} // namespace brenvoll
