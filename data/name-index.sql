-- Finds a person's records by name (复制上次体检, 历年对比), as they compare
-- names: trim(姓名). The same statement on both engines. brenvoll-mkdb
-- creates it with the delivered tables; the program adds it, once, to a
-- database that lacks it. Without it those searches still work, reading
-- every record.
CREATE INDEX IF NOT EXISTS 档案_姓名 ON 档案 (trim(姓名));
