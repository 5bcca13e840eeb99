#pragma once
// The settings record: the single row of table 设置.
#include <QString>

namespace brenvoll {

struct Settings
{
    QString password;   // 密码
    QString folder;     // 路径, the backup folder
    QString leftMargin; // 左边距, millimetres as typed
    QString topMargin;  // 上边距, millimetres as typed
};

class SettingsStore
{
public:
    // Reads the first row. False when the table cannot be read or is empty.
    static bool read(Settings& settings, QString* error = nullptr);
    // Writes folder and margins as typed.
    static bool writeFolderAndMargins(const QString& folder, const QString& left, const QString& top,
                                      QString* error = nullptr);
    static bool writePassword(const QString& password, QString* error = nullptr);

    // The number at the start of a margin text in millimetres, read as BASIC's
    // Val() reads it: blanks, tabs and line feeds ignored, a sign, "." the
    // decimal point, an exponent with E or D, or &H and &O for hexadecimal
    // and octal. 0 when there is none or it is too large for a number.
    static double marginMillimetres(const QString& text);
    // A margin text in twips (56.7 twips per millimetre).
    static double marginTwips(const QString& text);
};

} // namespace brenvoll
