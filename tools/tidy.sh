#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) on sources of src/ and fails on any
# finding.
#
#   tools/tidy.sh BUILD_DIR [FILE...]
#
# BUILD_DIR is a configured and built tree (its compile_commands.json names
# each file's flags; the generated moc/uic headers must exist). The files
# checked are the FILEs given, else those changed in the working tree
# (staged, unstaged or new) and in the last commit; a header among them
# brings in the sources that include it, directly or through other headers.
# All of src/ is checked when BRENVOLL_TIDY_ALL=1, when there is no git or no
# work tree, or when there is no earlier commit. Parallel jobs:
# BRENVOLL_TIDY_JOBS, else one per core. The clang-tidy binary: CLANG_TIDY,
# else clang-tidy-14 or clang-tidy.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [FILE...]" >&2
    exit 2
fi
build=$(cd "$1" && pwd)
shift
root=$(cd "$(dirname "$0")/.." && pwd)
given=()
for f in "$@"; do
    f=$(realpath -m "$f")
    given+=("${f#"$root"/}")
done
cd "$root"

tidy=${CLANG_TIDY:-$(command -v clang-tidy-14 || command -v clang-tidy || true)}
if [ -z "$tidy" ]; then
    echo "tidy: clang-tidy not found" >&2
    exit 2
fi
if [ ! -f "$build/compile_commands.json" ]; then
    echo "tidy: $build/compile_commands.json missing (configure the build first)" >&2
    exit 2
fi
jobs=${BRENVOLL_TIDY_JOBS:-$(nproc 2>/dev/null || echo 2)}

all_sources() {
    find src -name '*.cpp' | sort
}

# Paths relative to the root, one a line, of files changed in the working
# tree and in the last commit; fails when that cannot be told.
changed_files() {
    command -v git >/dev/null || return 1
    git rev-parse --is-inside-work-tree >/dev/null 2>&1 || return 1
    git rev-parse --verify --quiet HEAD~1 >/dev/null || return 1
    {
        git diff --name-only HEAD~1 HEAD
        git diff --name-only HEAD
        git ls-files --others --exclude-standard
    } | sort -u
}

# The sources of src/ among the changed files, and those that include a
# changed header (through any chain of our headers). Includes name a header
# by its path under src/ ("storage/Database.h"), or in its own folder by its
# name alone ("Database.h").
affected_sources() {
    local changed headers=() sources=() seen=" " h name includer
    changed=$(cat)
    while IFS= read -r f; do
        [ -f "$f" ] || continue
        case "$f" in
        src/*.cpp) sources+=("$f") ;;
        src/*.h) headers+=("$f") ;;
        esac
    done <<<"$changed"
    while [ ${#headers[@]} -gt 0 ]; do
        h=${headers[0]}
        headers=("${headers[@]:1}")
        case "$seen" in *" $h "*) continue ;; esac
        seen+="$h "
        name=${h#src/}
        while IFS= read -r includer; do
            case "$includer" in
            *.cpp) sources+=("$includer") ;;
            *.h) headers+=("$includer") ;;
            esac
        done < <(
            grep -rlF --include='*.cpp' --include='*.h' "#include \"$name\"" src || true
            grep -rlF --include='*.cpp' --include='*.h' "#include \"${h##*/}\"" "${h%/*}" || true
        )
    done
    if [ ${#sources[@]} -gt 0 ]; then
        printf '%s\n' "${sources[@]}" | sort -u
    fi
}

if [ ${#given[@]} -gt 0 ]; then
    files=$(printf '%s\n' "${given[@]}" | affected_sources)
elif [ "${BRENVOLL_TIDY_ALL:-0}" = 1 ]; then
    files=$(all_sources)
elif changes=$(changed_files); then
    files=$(affected_sources <<<"$changes")
else
    files=$(all_sources)
fi

# Only files the build compiles have flags to be checked with.
checked=()
while IFS= read -r f; do
    [ -n "$f" ] || continue
    if grep -qF "\"file\": \"$root/$f\"" "$build/compile_commands.json"; then
        checked+=("$f")
    else
        echo "tidy: $f is not in the build, not checked" >&2
    fi
done <<<"$files"

if [ ${#checked[@]} -eq 0 ]; then
    echo "tidy: no changed source of src/ to check"
    exit 0
fi
echo "tidy: checking ${#checked[@]} file(s) with $jobs job(s)"

# One clang-tidy a file; a file's findings are printed together, and only
# when there are any. xargs exits non-zero when any file fails.
export TIDY_BIN=$tidy TIDY_BUILD=$build
status=0
printf '%s\0' "${checked[@]}" | xargs -0 -n1 -P"$jobs" sh -c '
    if ! out=$("$TIDY_BIN" -p "$TIDY_BUILD" --quiet "$1" 2>&1); then
        printf "%s\n" "$out" | grep -v "^[0-9]* warnings\? generated\.$"
        exit 1
    fi' tidy || status=$?
if [ $status -ne 0 ]; then
    echo "tidy: findings above (checks in .clang-tidy)" >&2
    exit 1
fi
echo "tidy: no findings"
