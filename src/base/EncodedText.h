#pragma once
// The program's fixed texts are kept as encoded number lists: decimal codes of
// code page 936 characters, each XOR kListKey. The sheet title and the local
// page addresses are decoded from them at start-up.
#include <QString>

namespace brenvoll {

// XOR key of every encoded list of the program.
constexpr int kListKey = 37;

extern const char* const kSheetTitleList;
extern const char* const kMissingPageList; // page shown when 数据库.db is missing
extern const char* const kHelpPageList;    // operator's help page
extern const char* const kHomePageList;    // program's home page

// Turns an encoded list into text. The caller's text is replaced by the result,
// which is also returned. An empty list gives an empty text.
QString decodeNumberList(QString& list);
// The inverse of decodeNumberList, used to write the program's own lists.
QString encodeNumberList(const QString& text);

// The sheet title, decoded once at start-up.
const QString& sheetTitle();
void setSheetTitle(const QString& title);

// The local page of an encoded web address list, as a URL beside the program.
QString localPageUrl(const char* encodedList);

} // namespace brenvoll
