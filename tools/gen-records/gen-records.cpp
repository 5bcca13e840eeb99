// brenvoll-gen-records TEMPLATE.db OUT.db COUNT [END-DATE]
//
// Copies the delivered (empty) database TEMPLATE.db to OUT.db and fills table
// 档案 with COUNT examinations spread evenly over the ten years before
// END-DATE (yyyy-mm-dd, default 2026-12-07): realistic Chinese names,
// addresses and findings, the same file for the same arguments.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace {

struct Random
{
    uint64_t state;
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return size_t(next() % n); }
    template <size_t N> const char* pick(const std::array<const char*, N>& items) { return items[below(N)]; }
};

const std::array<const char*, 60> kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡",
    "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹",
    "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余", "杜", "叶", "程", "苏",
    "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔", "钟", "谭", "陆", "汪", "范", "欧阳"};
const std::array<const char*, 48> kGiven = {
    "伟",   "芳",   "娜",   "秀英", "敏",   "静", "丽",   "强",   "磊",   "军", "洋",   "勇",
    "艳",   "杰",   "娟",   "涛",   "明",   "超", "秀兰", "霞",   "平",   "刚", "桂英", "建华",
    "玉兰", "淑珍", "志强", "国强", "桂兰", "文", "建国", "海燕", "凤英", "红", "春梅", "德明",
    "永",   "庆",   "福",   "兰英", "晓东", "雪", "丹",   "玲",   "国庆", "宝", "金花", "子涵"};
const std::array<const char*, 16> kVillages = {"东关村",   "西河村",   "南湖村", "北山村", "柳树屯", "杨家庄",
                                               "李家湾",   "石桥村",   "新华街", "人民路", "建设路", "解放街",
                                               "朝阳社区", "和平社区", "幸福里", "长青路"};
const std::array<const char*, 6> kNormal = {"未见异常", "正常", "未见异常", "正常", "无", "未见明显异常"};
const std::array<const char*, 5> kConclusions = {"未见明显异常", "血压偏高，建议定期复查", "轻度脂肪肝",
                                                 "血脂偏高，建议低脂饮食", "体检未见明显异常"};

std::string number(double base, double spread, Random& r, int decimals)
{
    const double v = base + spread * (double(r.below(2001)) / 1000.0 - 1.0);
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

bool check(int rc, sqlite3* db, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "brenvoll-gen-records: %s: %s\n", what, sqlite3_errmsg(db));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: brenvoll-gen-records TEMPLATE.db OUT.db COUNT [END-DATE]\n");
        return 2;
    }
    const long long count = std::atoll(argv[3]);
    int endYear = 2026, endMonth = 12, endDay = 7;
    if (argc > 4 && std::sscanf(argv[4], "%d-%d-%d", &endYear, &endMonth, &endDay) != 3) {
        std::fprintf(stderr, "brenvoll-gen-records: END-DATE must be yyyy-mm-dd\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::remove(argv[2], ec);
    std::filesystem::copy_file(argv[1], argv[2], ec);
    if (ec) {
        std::fprintf(stderr, "brenvoll-gen-records: cannot copy template: %s\n", ec.message().c_str());
        return 1;
    }

    sqlite3* db = nullptr;
    if (!check(sqlite3_open(argv[2], &db), db, "open")) {
        return 1;
    }
    sqlite3_exec(db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = OFF; BEGIN", nullptr, nullptr, nullptr);

    std::string sql = "insert into 档案 (姓名, 性别, 年龄, 日期, 地址, 序列号";
    for (int i = 0; i < 46; ++i) {
        sql += ", \"" + std::to_string(i) + "\"";
    }
    sql += ") values (?";
    for (int i = 1; i < 52; ++i) {
        sql += ", ?";
    }
    sql += ")";
    sqlite3_stmt* insert = nullptr;
    if (!check(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), db, "prepare")) {
        return 1;
    }

    std::tm end{};
    end.tm_year = endYear - 1900;
    end.tm_mon = endMonth - 1;
    end.tm_mday = endDay;
    end.tm_hour = 17;
    const time_t endTime = timegm(&end);
    const time_t startTime = endTime - time_t(10) * 365 * 24 * 3600 - 2 * 24 * 3600;
    const double step = double(endTime - startTime) / double(count > 0 ? count : 1);

    Random r{20161207};
    std::vector<std::string> values(52);
    for (long long n = 0; n < count; ++n) {
        // Keys rise with n, so every key is distinct and dates follow keys.
        const time_t t = startTime + time_t(double(n) * step);
        std::tm tm{};
        gmtime_r(&t, &tm);
        char date[16], key[16];
        std::strftime(date, sizeof date, "%Y-%m-%d", &tm);
        std::strftime(key, sizeof key, "%Y%m%d%H%M%S", &tm);

        const bool male = r.below(2) == 0;
        values[0] = std::string(r.pick(kSurnames)) + r.pick(kGiven);
        values[1] = male ? "男" : "女";
        values[2] = std::to_string(18 + r.below(75));
        values[3] = date;
        values[4] = std::string(r.pick(kVillages)) + std::to_string(1 + r.below(200)) + "号";
        values[5] = key;
        for (int i = 0; i < 46; ++i) {
            values[6 + i].clear();
        }
        auto finding = [&](int column) -> std::string& { return values[6 + column]; };
        finding(0) = "T" + std::to_string(100000 + n % 900000);
        finding(1) = "13" + std::to_string(100000000 + r.below(900000000));
        finding(2) = r.below(5) == 0 ? "高血压病史" : "无";
        finding(3) = number(165, 15, r, 0);
        finding(4) = number(65, 20, r, 0);
        finding(5) = number(125, 25, r, 0);
        finding(44) = number(80, 15, r, 0);
        for (int i = 6; i <= 19; ++i) {
            finding(i) = r.pick(kNormal);
        }
        finding(20) = number(7, 3, r, 1);
        finding(21) = number(135, 25, r, 0);
        finding(22) = number(200, 100, r, 0);
        for (int i = 23; i <= 26; ++i) {
            finding(i) = "阴性";
        }
        finding(27) = number(25, 15, r, 0);
        finding(28) = number(25, 15, r, 0);
        finding(29) = number(10, 7, r, 1);
        finding(30) = r.below(3) == 0 ? "阳性" : "阴性";
        finding(31) = number(5, 2, r, 1);
        finding(32) = number(80, 25, r, 0);
        finding(33) = number(5, 1.5, r, 1);
        finding(34) = number(1.2, 0.8, r, 2);
        finding(35) = number(4.5, 1.5, r, 2);
        finding(36) = number(1.4, 0.4, r, 2);
        finding(37) = number(2.8, 1, r, 2);
        finding(38) = "窦性心律，心电图正常";
        finding(39) = "肝胆脾胰双肾未见明显异常";
        finding(40) = "双肺纹理清晰，心膈未见异常";
        finding(41) = r.pick(kConclusions);
        finding(42) = "建议戒烟限酒，合理膳食，适量运动";
        finding(45) = "刘医生";

        for (int i = 0; i < 52; ++i) {
            sqlite3_bind_text(insert, i + 1, values[i].c_str(), int(values[i].size()), SQLITE_STATIC);
        }
        if (!check(sqlite3_step(insert), db, "insert")) {
            return 1;
        }
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (!check(sqlite3_exec(db, "COMMIT; ANALYZE; PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr),
               db, "commit")) {
        return 1;
    }
    sqlite3_close(db);
    std::printf("%lld records written to %s\n", count, argv[2]);
    return 0;
}
