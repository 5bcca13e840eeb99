#!/usr/bin/env bash
# What the name search's index (data/search-index-postgresql.sql) gains the
# server's name search, and what it costs a save, on a server database of
# the program's (filled with records, as bench_desks leaves it):
#
#   bench/record/search-index.sh CONNINFO [NAME [FROM TO]]
#
# The desks' name search (the rows of the days FROM to TO, 2025-12-08 to
# 2026-12-07, whose name contains NAME, 张) is timed by the server itself
# (EXPLAIN ANALYZE, the best of 9), and 2,000 new records are written in one
# transaction that is rolled back, first without the index, then with it.
# The index is dropped again at the end unless it was there before.
set -euo pipefail

conninfo="${1:?usage: search-index.sh CONNINFO [NAME [FROM TO]]}"
name="${2:-张}"
from="${3:-2025-12-08}"
to="${4:-2026-12-07}"
here="$(cd "$(dirname "$0")" && pwd)"

sql() {
    psql "$conninfo" -X -q -t -A -v ON_ERROR_STOP=1 "$@"
}

had="$(sql -c "select count(*) from pg_indexes where schemaname = current_schema() and indexname = '档案_日期_姓名'")"

# The best server time (ms) of the search over 9 runs, and its plan's first line.
search() {
    local best="" plan ms
    for _ in 1 2 3 4 5 6 7 8 9; do
        plan="$(sql -v name="$name" -v from="$from" -v to="$to" <<'SQL'
explain (analyze, buffers) select 姓名, 日期, 序列号 from 档案
 where coalesce(姓名, '') like '%' || :'name' || '%' escape '' and 日期 between :'from' and :'to'
 order by 序列号 desc;
SQL
)"
        ms="$(printf '%s\n' "$plan" | sed -n 's/^Execution Time: \([0-9.]*\) ms$/\1/p')"
        if [[ -z "$best" ]] || awk "BEGIN{exit !($ms < $best)}"; then
            best="$ms"
        fi
    done
    printf '%s ms  (%s)\n' "$best" "$(printf '%s\n' "$plan" | grep -m1 -o 'Index Only Scan\|Index Scan\|Bitmap Heap Scan\|Seq Scan')"
}

# The time (ms) of 2,000 new records, copies of existing ones under new keys,
# written in one transaction and rolled back.
saves() {
    sql <<'SQL' | sed -n 's/^Time: \([0-9.]*\) ms.*/\1 ms for 2,000 new records/p'
begin;
create temporary table 新记录 on commit drop as select * from 档案 order by 序列号 limit 2000;
update 新记录 set 序列号 = 'X' || 序列号;
\timing on
insert into 档案 select * from 新记录;
\timing off
rollback;
SQL
}

if [[ "$had" == "1" ]]; then
    sql -c "drop index 档案_日期_姓名"
fi
sql -c "vacuum (analyze) 档案"
echo "records: $(sql -c 'select count(*) from 档案'), in the days searched: $(sql -v from="$from" -v to="$to" <<<"select count(*) from 档案 where 日期 between :'from' and :'to';")"
echo "without the index: search $(search)"
echo "without the index: save  $(saves)"
start=$(date +%s%N)
sql -f "$here/../../data/search-index-postgresql.sql"
echo "index made in $(((($(date +%s%N) - start)) / 1000000)) ms, $(sql -c "select pg_size_pretty(pg_relation_size('档案_日期_姓名'))")"
sql -c "vacuum (analyze) 档案"
echo "with the index:    search $(search)"
echo "with the index:    save  $(saves)"
if [[ "$had" != "1" ]]; then
    sql -c "drop index 档案_日期_姓名"
fi
