#pragma once
// Ini files as people write them in a text editor, read without surprises:
//
// - UTF-8 with or without a byte-order mark, UTF-16 with one (or without one,
//   told by its zero bytes), and, failing UTF-8, GB18030 (a Chinese system's
//   "ANSI" text);
// - "[section]" lines; "key=value" lines whose value is everything after the
//   first "=" up to the end of the line, blanks at both ends trimmed: ",",
//   ";", "#", quotes and backslashes inside are part of it;
// - a value that begins with a double quote runs to the next one and keeps
//   its blanks; inside, \" stands for a quote and \\ for a backslash;
// - lines beginning with ";" or "#" are comments; blank lines are skipped.
//
// Section and key names are kept as written; readers compare them without
// regard to letter case.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace brenvoll {

struct IniEntry
{
    QString section; // the last section line's name, trimmed; empty before any
    QString key;     // trimmed
    QString value;
    int line = 0; // counted from 1
};

struct IniText
{
    enum class Problem
    {
        None,
        NotText,     // not decodable, or holds control characters
        NoEquals,    // a line that is neither a section, a comment nor key=value
        NoKey,       // "=value" without a name
        OpenSection, // "[name" without its "]"
        OpenQuote,   // a quoted value without its closing quote
        AfterQuote,  // text after a quoted value's closing quote
    };

    QList<IniEntry> entries;
    QStringList sections; // every section line's name, trimmed, in order
    Problem problem = Problem::None;
    int problemLine = 0; // the line of the problem, 0 for the whole text
    QString problemText; // that line, trimmed
};

// The entries of an ini file's bytes; stops at the first problem.
IniText readIniText(const QByteArray& bytes);

} // namespace brenvoll
