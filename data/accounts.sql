-- The operators' accounts, kept beside the designed tables, which they never
-- alter. While 账户 is empty everybody logs in with the shared password of
-- 设置 as designed; the first account switches accounts on for every desk.
-- brenvoll-mkdb creates these tables with the delivered ones; the program
-- adds them, once, to a database that lacks them where it opens it.

-- One row per account; accounts are never deleted (versions name them).
-- 角色 录入员, 医生 or 管理员; 停用 1 for a disabled account; 密码散列 the
-- Argon2id hash of the password in libsodium's string form, never the
-- password itself; 最后登录 yyyy-mm-dd hh:mm:ss or empty.
CREATE TABLE 账户 (
    用户名 TEXT PRIMARY KEY,
    姓名 TEXT NOT NULL,
    角色 TEXT NOT NULL,
    停用 INTEGER NOT NULL DEFAULT 0,
    密码散列 TEXT NOT NULL,
    最后登录 TEXT NOT NULL DEFAULT ''
);

-- The accounts' switches, one row each: 账户登录 ('1' accounts on, '0'
-- off) and 锁定分钟 (idle minutes before the desk locks, '0' never).
CREATE TABLE 账户设置 (
    项目 TEXT PRIMARY KEY,
    值 TEXT NOT NULL
);

-- Every login, failed login, logout, lock and unlock: when, the user name as
-- typed, the desk's host name, and what happened.
CREATE TABLE 登录记录 (
    编号 INTEGER PRIMARY KEY,
    时间 TEXT NOT NULL,
    用户名 TEXT NOT NULL,
    工作站 TEXT NOT NULL,
    结果 TEXT NOT NULL
);
