#!/usr/bin/env bash
# Every benchmark of bench/ with its usual arguments, one after another, on
# one database of a million generated records:
#
#   tools/bench.sh [--postgresql CONNINFO] [BUILD [DATA]]
#
#   BUILD  the build folder with the benchmarks built (build)
#   DATA   where the million records are kept (BUILD/bench-data): DATA/big.db
#          is generated once (brenvoll-gen-records) and reused when it is
#          there; the benchmarks that change their database get a copy of it
#   --postgresql CONNINFO
#          the benchmarks that take a server run on it as well, on the server
#          database CONNINFO names (made by brenvoll-mkdb --postgresql; an empty
#          one is filled from DATA/big.db first), 20 desks among them once at
#          their usual pace and once flat out (--pace 0)
#
# Prints only each benchmark's TARGET lines, and last "N targets, N missed".
# A benchmark that ends without printing a target counts as one missed
# target. Everything else the benchmarks print goes to DATA/bench.log.
# The exit status is 0 when no target was missed, 1 otherwise.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
conninfo=""
if [[ "${1:-}" == "--postgresql" ]]; then
    [[ $# -ge 2 ]] || {
        echo "bench: --postgresql needs a connection string" >&2
        exit 2
    }
    conninfo="$2"
    shift 2
fi
build="$(cd "${1:-$here/../build}" && pwd)" || exit 2
data="${2:-$build/bench-data}"
bench="$build/bench"
db="$data/big.db"
log="$data/bench.log"

mkdir -p "$data" || exit 2
: >"$log"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

# The million records, generated once; a generation cut short leaves no
# big.db behind to be reused.
if [[ ! -f "$db" ]]; then
    echo "generating $db (a few minutes) ..." >&2
    rm -f "$db.part"
    if ! "$build/tools/brenvoll-gen-records" "$build/bin/数据库.db" "$db.part" 1000000 >>"$log" 2>&1 ||
        ! mv "$db.part" "$db"; then
        rm -f "$db.part"
        echo "bench: cannot generate $db (see $log)" >&2
        exit 2
    fi
fi

targets=0
missed=0

# run NAME ARGS...: one benchmark, its TARGET lines printed and counted.
run() {
    local name="$1"
    shift
    local output status lines
    echo "=== $name $*" >>"$log"
    output="$("$bench/$name" "$@" 2>>"$log")"
    status=$?
    printf '%s\n' "$output" >>"$log"
    lines="$(printf '%s\n' "$output" | grep '^TARGET ')"
    if [[ -z "$lines" ]]; then
        lines="TARGET $name $*: no figures (exit status $status, see $log): MISSED"
    fi
    printf '%s\n' "$lines"
    targets=$((targets + $(printf '%s\n' "$lines" | grep -c '^TARGET ')))
    missed=$((missed + $(printf '%s\n' "$lines" | grep -c ': MISSED$')))
}

# run_on_copy NAME ARGS...: the same on a copy of the database (the last
# argument stands for it), removed afterwards, for a benchmark that changes
# the database it is given.
run_on_copy() {
    local copy="$data/copy-$1.db"
    cp "$db" "$copy" || {
        echo "TARGET $1: cannot copy $db: MISSED"
        targets=$((targets + 1))
        missed=$((missed + 1))
        return
    }
    local arguments=("${@:2}")
    run "$1" "${arguments[@]:0:${#arguments[@]}-1}" "$copy"
    rm -f "$copy"
}

run bench_records "$db"
run bench_print 1000
run bench_reports "$db"
run_on_copy bench_history "$db"
run bench_drafts
run bench_comparison "$db"
run bench_statistics "$db"
run bench_backup "$db"
run bench_desks "$db"

if [[ -n "$conninfo" ]]; then
    run bench_records --postgresql "$conninfo" "$db"
    run bench_history --postgresql "$conninfo" "$db"
    run bench_comparison --postgresql "$conninfo" "$db"
    run bench_statistics --postgresql "$conninfo" "$db"
    run bench_backup --postgresql "$conninfo"
    run bench_desks --postgresql "$conninfo" "$db"
    run bench_desks --postgresql "$conninfo" --pace 0 "$db"
fi

echo "$targets targets, $missed missed"
[[ $missed -eq 0 ]]
