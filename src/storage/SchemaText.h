#pragma once
// What a database gets beside the designed tables, step by step, in the order
// it gets them: the statements of each engine and what each step adds. The
// delivered database is made through these steps (brenvoll-mkdb), and an
// older database gets the steps it lacks where the program opens it
// (SchemaUpgrade), so each statement is written once, in data/. Plain C++
// without Qt: brenvoll-mkdb builds it in too. A new step is one more line
// here, at the end, and its .sql files.
#include "accounts-schema.h"
#include "history-schema.h"
#include "name-index-schema.h"
#include "population-schema.h"
#include "search-index-schema.h"

namespace brenvoll::schema {

struct StepText
{
    const char* tables;     // the tables the step adds, separated by blanks; null for an index
    const char* index;      // the index the step adds; null for tables
    const char* sqlite;     // its statements on the file; null where the engine needs none
    const char* postgresql; // and on a server
    // A step that only speeds up reads: a database that cannot take it
    // (read-only, a server user who does not own 档案) works on without it,
    // and the other steps are taken all the same.
    bool optional;
};

inline constexpr StepText kSteps[] = {
    {"档案版本 档案恢复", nullptr, kHistorySchema, kHistoryPostgresqlSchema, false},
    {"账户 账户设置 登录记录", nullptr, kAccountsSchema, kAccountsPostgresqlSchema, false},
    {nullptr, "档案_姓名", kNameIndexSchema, kNameIndexSchema, true},
    {nullptr, "档案_日期_姓名", nullptr, kSearchIndexPostgresqlSchema, true},
    {"应管人数", nullptr, kPopulationSchema, kPopulationSchema, false},
};

} // namespace brenvoll::schema
