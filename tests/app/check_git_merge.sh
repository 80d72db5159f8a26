#!/usr/bin/env bash
# The program as git's merge driver and diff textconv for a frmation.dat kept
# under git, driven through Debian's own git in a temporary repository.
#   check_git_merge.sh PROGRAM SAMPLE_TABLE
# Exit 77: skipped, git is not installed.
set -euo pipefail
program=$(realpath "$1")
sample=$(realpath "$2")

if ! command -v git >/dev/null; then
    echo "skipped: git is not installed (tools/install-deps.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# No configuration of this machine or user may change what git does here.
export HOME=$work/home GIT_CONFIG_NOSYSTEM=1 GIT_CONFIG_GLOBAL=/dev/null LC_ALL=C
export GIT_MERGE_AUTOEDIT=no
unset GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE GIT_OBJECT_DIRECTORY
mkdir -p "$HOME"

# git hands both commands to the shell: the program is reached through a
# folder whose name holds a blank and a quote, so that a config quoted
# wrongly fails here and not only in a user's folder.
ln -s "$(dirname "$program")" "$work/kgf's bin"
reached="$work/kgf's bin/$(basename "$program")"
quoted="'${reached//\'/\'\\\'\'}'"

repo=$work/game
git init -q -b main "$repo"
cd "$repo"
git config user.name "Merge Test"
git config user.email "merge-test@example.invalid"
printf 'frmation.dat diff=kgf merge=kgf\n' >.gitattributes
git config diff.kgf.textconv "$quoted export --format csv"
git config merge.kgf.driver "$quoted merge --no-backup %O %A %B"

# Writes the byte values after FILE OFFSET, one each, over what is there.
put() {
    local file=$1 offset=$2
    shift 2
    local value
    for value in "$@"; do
        printf %b "\\x$(printf %02x "$value")" |
            dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
        offset=$((offset + 1))
    done
}
# The offset of FORMATION's LINE (from 1) in the table.
at() { echo $((($1 * 3 + $2 - 1) * 16)); }

cp "$sample" frmation.dat
[ "$(stat -c %s frmation.dat)" = 1488 ] || { echo "the sample is no 1,488-byte table"; exit 1; }
git add .gitattributes frmation.dat
git commit -q -m base
cp frmation.dat "$work/base.dat"

# Changes in two formations, one on each branch.
changeA() { # formation 2: line 1's count, line 2's X
    put "$1" $(($(at 2 1) + 2)) 9
    put "$1" $(($(at 2 2) + 4)) 0x10 0x27 0 0
}
changeB() { # formation 7: line 3's count, line 1's Z
    put "$1" $(($(at 7 3) + 2)) 12
    put "$1" $(($(at 7 1) + 12)) 0x30 0xf8 0xff 0xff
}
git checkout -q -b theirs-clean
changeB frmation.dat
git commit -q -am "formation 7"
git checkout -q -b ours-clean main
changeA frmation.dat
git commit -q -am "formation 2"

cp "$work/base.dat" "$work/expected.dat"
changeA "$work/expected.dat"
changeB "$work/expected.dat"
cmp -s "$work/base.dat" "$work/expected.dat" && { echo "the changes changed nothing"; exit 1; }

if ! output=$(git merge --no-edit -m "merge formation 7" theirs-clean 2>&1); then
    fail "git merge of changes to different formations failed:"
    echo "$output"
fi
cmp -s frmation.dat "$work/expected.dat" ||
    fail "the merged frmation.dat is not the base with both changes: $(cmp frmation.dat "$work/expected.dat" 2>&1 || true)"
status=$(git status --porcelain --ignored --untracked-files=all)
[ -z "$status" ] || fail "the clean merge left the work tree so: $status"
[ "$(git rev-list --merges HEAD | wc -l)" = 1 ] || fail "no merge commit: $(git log --oneline --graph)"
[ "$(git rev-parse HEAD^2 2>/dev/null)" = "$(git rev-parse theirs-clean)" ] ||
    fail "the merge commit's second parent is not the merged branch"
git cat-file blob HEAD:frmation.dat | cmp -s - "$work/expected.dat" ||
    fail "the merge commit does not hold the merged table"

# The same field, formation 4 line 1's count (7 in the sample), changed to
# two other values.
count=$(($(at 4 1) + 2))
[ "$(od -An -tu1 -j $count -N1 "$work/base.dat" | tr -d ' ')" = 7 ] ||
    { echo "the sample's formation 4 line 1 count is not 7"; exit 1; }
git checkout -q -b theirs-same main
put frmation.dat $count 3
git commit -q -am "formation 4: 3 aircraft"
git checkout -q -b ours-same main
put frmation.dat $count 9
git commit -q -am "formation 4: 9 aircraft"
cp frmation.dat "$work/ours.dat"

if output=$(git merge --no-edit theirs-same 2>&1); then
    fail "git merge of one field changed two ways succeeded:"
    echo "$output"
fi
grep -Eq '^formation 4( \([^)]*\))?, line 1, count: BASE 7, OURS 9, THEIRS 3$' <<<"$output" ||
    fail "git merge did not show the program's conflict line: $output"
grep -q 'CONFLICT.*frmation\.dat' <<<"$output" || fail "git reported no conflict: $output"
[ "$(git diff --name-only --diff-filter=U)" = frmation.dat ] ||
    fail "git does not hold frmation.dat as unmerged: $(git status --porcelain)"
status=$(git status --porcelain --ignored --untracked-files=all)
[ "$status" = "UU frmation.dat" ] || fail "the conflict left the work tree so: $status"
cmp -s frmation.dat "$work/ours.dat" || fail "the conflict changed frmation.dat from OURS's bytes"

# Settled as a user would: the three stages, merged again taking THEIRS.
git show :1:frmation.dat >"$work/stage1.dat"
git show :3:frmation.dat >"$work/stage3.dat"
if ! output=$("$program" merge --take theirs --no-backup "$work/stage1.dat" frmation.dat \
    "$work/stage3.dat" 2>&1); then
    fail "merge --take theirs of the stages failed: $output"
fi
cp "$work/base.dat" "$work/settled.dat"
put "$work/settled.dat" $count 3
cmp -s frmation.dat "$work/settled.dat" || fail "merge --take theirs did not give THEIRS's count"
git add frmation.dat
git commit -q --no-edit
status=$(git status --porcelain --ignored --untracked-files=all)
[ -z "$status" ] || fail "the settled merge left the work tree so: $status"

# git diff shows the table as CSV: formation 7 line 3's count, now 5.
git checkout -q ours-clean
put frmation.dat $(($(at 7 3) + 2)) 5
diff=$(git diff frmation.dat | tr -d '\r')
countColumn=$("$program" export --format csv "$work/base.dat" | head -1 | tr -d '\r' |
    tr ',' '\n' | grep -nx count | cut -d: -f1) || true
[ -n "$countColumn" ] || fail "export --format csv gives no count column"
awk -F, -v c="${countColumn:-0}" '$1 == "+7" && $3 == 3 && $c == 5 { found = 1 }
    END { exit !found }' <<<"$diff" ||
    fail "git diff shows no CSV row of formation 7 line 3 with count 5: $diff"
awk -F, -v c="${countColumn:-0}" '$1 == "-7" && $3 == 3 && $c == 12 { found = 1 }
    END { exit !found }' <<<"$diff" ||
    fail "git diff shows no CSV row of formation 7 line 3 with count 12 removed: $diff"

[ $failures -eq 0 ] && echo "git merged, refused and diffed frmation.dat as expected"
exit $((failures > 0))
