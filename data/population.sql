-- The resident population a clinic is responsible for (应管人数), as its
-- operators type it in 体检统计 for a year: one row per column of the count
-- (合计, 男, 女, 未填, an age group, 年龄未填). The examination rate of a
-- column is its people examined over this figure. The same statement makes
-- the table on a file and on a server; brenvoll-mkdb creates it with the
-- delivered tables, and the program adds it to a database that lacks it.
CREATE TABLE 应管人数 (
    年份 INTEGER NOT NULL,
    列 TEXT NOT NULL,
    人数 INTEGER NOT NULL,
    PRIMARY KEY (年份, 列)
);
