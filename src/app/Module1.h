#pragma once
// Process-wide values and the two routines every part of the program shares:
// the sheet title, the database's place, encoded text lists and folder creation.
#include <QString>

namespace brenvoll {

// XOR key of every encoded list of the program.
constexpr int kListKey = 37;

// Encoded lists (decimal codes of code page 936 characters, each XOR kListKey).
extern const char* const kSheetTitleList;
extern const char* const kMissingPageList; // page shown when 数据库.db is missing
extern const char* const kHelpPageList;    // operator's help page
extern const char* const kHomePageList;    // program's home page

// Turns an encoded list into text. The caller's text is replaced by the result,
// which is also returned. An empty list gives an empty text.
QString DecodeNumberList(QString& list);
// The inverse of DecodeNumberList, used to write the program's own lists.
QString EncodeNumberList(const QString& text);

// Normalises `path` (separators "\" and "/" become the platform's, a trailing
// one is added, doubled ones are folded except a leading pair that names a
// network share), writes it back, and creates every level from the top down.
// Failures are not reported: callers check the folder afterwards.
void CreateFolderPath(QString& path);

// The folder of the running program, without a trailing separator.
QString programFolder();
QString databasePath(const QString& folder);
// The connection string as the program builds it at start-up, and the
// database file it names.
QString connectionString(const QString& folder);
QString dataSourceOf(const QString& connection);
// True for an existing ordinary file that is not hidden.
bool isOrdinaryFile(const QString& path);

// The sheet title, decoded once at start-up.
const QString& SheetTitle();
void setSheetTitle(const QString& title);

// The local page of an encoded web address list, as a URL beside the program.
QString localPageUrl(const char* encodedList);

} // namespace brenvoll
