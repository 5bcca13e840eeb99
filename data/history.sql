-- The kept versions of the records: every save that changes a stored record
-- and every delete first keeps the row of 档案 as it was, with when, how and
-- where it changed, in the same transaction as the change. The program only
-- ever adds rows to these tables. brenvoll-mkdb creates them with the
-- delivered tables; the program adds them, once, to a database that lacks them.

-- One row per kept version: 档案's 52 columns as they were, newest last.
-- 时间 is yyyy-mm-dd hh:mm:ss, 操作 修改 or 删除, 工作站 the desk's host name.
CREATE TABLE 档案版本 (
    版本号 INTEGER PRIMARY KEY,
    时间 TEXT NOT NULL,
    操作 TEXT NOT NULL,
    工作站 TEXT NOT NULL,
    操作员 TEXT NOT NULL,
    姓名 TEXT,
    性别 TEXT,
    年龄 TEXT,
    日期 TEXT,
    地址 TEXT,
    序列号 TEXT NOT NULL,
    "0" TEXT, "1" TEXT, "2" TEXT, "3" TEXT, "4" TEXT, "5" TEXT, "6" TEXT, "7" TEXT,
    "8" TEXT, "9" TEXT, "10" TEXT, "11" TEXT, "12" TEXT, "13" TEXT, "14" TEXT, "15" TEXT,
    "16" TEXT, "17" TEXT, "18" TEXT, "19" TEXT, "20" TEXT, "21" TEXT, "22" TEXT, "23" TEXT,
    "24" TEXT, "25" TEXT, "26" TEXT, "27" TEXT, "28" TEXT, "29" TEXT, "30" TEXT, "31" TEXT,
    "32" TEXT, "33" TEXT, "34" TEXT, "35" TEXT, "36" TEXT, "37" TEXT, "38" TEXT, "39" TEXT,
    "40" TEXT, "41" TEXT, "42" TEXT, "43" TEXT, "44" TEXT, "45" TEXT
);
-- A record's versions, newest first; the deleted records, newest first.
CREATE INDEX 档案版本_序列号 ON 档案版本 (序列号, 版本号);
CREATE INDEX 档案版本_删除 ON 档案版本 (版本号) WHERE 操作 = '删除';

-- A deleted record stored again: the 删除 version it came from, the key it
-- was stored under, and when, where and by whom.
CREATE TABLE 档案恢复 (
    删除版本号 INTEGER PRIMARY KEY,
    序列号 TEXT NOT NULL,
    时间 TEXT NOT NULL,
    工作站 TEXT NOT NULL,
    操作员 TEXT NOT NULL
);
