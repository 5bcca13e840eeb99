-- The delivered database "数据库.db". The program reads and writes these tables;
-- it never creates or alters one. The tables of the kept versions beside them
-- are in data/history.sql.
PRAGMA journal_mode = DELETE;

-- One row per examination. The finding columns "0" to "45" belong to the sheet's
-- boxes Text6 0 to 45; 日期 is stored as the text yyyy-mm-dd.
CREATE TABLE 档案 (
    姓名 TEXT,
    性别 TEXT,
    年龄 TEXT,
    日期 TEXT,
    地址 TEXT,
    序列号 TEXT NOT NULL UNIQUE,
    "0" TEXT, "1" TEXT, "2" TEXT, "3" TEXT, "4" TEXT, "5" TEXT, "6" TEXT, "7" TEXT,
    "8" TEXT, "9" TEXT, "10" TEXT, "11" TEXT, "12" TEXT, "13" TEXT, "14" TEXT, "15" TEXT,
    "16" TEXT, "17" TEXT, "18" TEXT, "19" TEXT, "20" TEXT, "21" TEXT, "22" TEXT, "23" TEXT,
    "24" TEXT, "25" TEXT, "26" TEXT, "27" TEXT, "28" TEXT, "29" TEXT, "30" TEXT, "31" TEXT,
    "32" TEXT, "33" TEXT, "34" TEXT, "35" TEXT, "36" TEXT, "37" TEXT, "38" TEXT, "39" TEXT,
    "40" TEXT, "41" TEXT, "42" TEXT, "43" TEXT, "44" TEXT, "45" TEXT
);
-- Serves the date-range searches of the main window and the report.
CREATE INDEX 档案_日期 ON 档案 (日期);

-- The settings record: exactly one row.
CREATE TABLE 设置 (
    密码 TEXT,
    路径 TEXT,
    左边距 TEXT,
    上边距 TEXT
);
INSERT INTO 设置 (密码, 路径, 左边距, 上边距) VALUES ('864', '', '0', '0');

-- Stock phrases, listed in rowid order.
CREATE TABLE 词库 (
    常用语 TEXT
);
INSERT INTO 词库 (常用语) VALUES
    ('未见异常'),
    ('正常'),
    ('无'),
    ('阴性'),
    ('阳性'),
    ('窦性心律，心电图正常'),
    ('双肺呼吸音清，未闻及干湿啰音'),
    ('心律齐，各瓣膜听诊区未闻及杂音'),
    ('腹软，无压痛，肝脾肋下未触及'),
    ('神经系统检查未见异常'),
    ('颈软，甲状腺未触及肿大'),
    ('脊柱四肢无畸形，活动自如'),
    ('皮肤黏膜无黄染，浅表淋巴结未触及'),
    ('口腔黏膜光滑，牙齿排列整齐'),
    ('外耳道通畅，鼓膜完整'),
    ('双耳听力正常'),
    ('肝胆脾胰双肾未见明显异常'),
    ('轻度脂肪肝'),
    ('双肺纹理清晰，心膈未见异常'),
    ('体检未见明显异常'),
    ('血压偏高，建议低盐饮食，定期监测血压'),
    ('血糖偏高，建议控制饮食，复查空腹血糖'),
    ('血脂偏高，建议低脂饮食，适量运动'),
    ('建议戒烟限酒，合理膳食，适量运动'),
    ('建议定期复查'),
    ('建议到专科进一步检查');
