#!/usr/bin/env bash
# Checks the manual pages and the shell completion of quorvane-cli:
#  - each page formats without a warning from groff and man, and names itself for whatis;
#  - the pages name what the programs accept: every option of "quorvane-cli --help", its commands
#    (described, and in the synopsis) and exit codes, the options of quorvane-register and the
#    switches of the desktop program, and nothing they do not accept;
#  - the bash completion offers the right commands, options, values and files for a table of
#    command lines, with and without bash-completion loaded, and every option of --help;
#  - the pages and completions install under the names man, bash-completion, zsh and fish look
#    for, the pages compressed without a name or time stamp, and are found there.
# A check whose tool is not installed is skipped with a message; everything else must pass.
#   CheckManPages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
export LC_ALL=C # one sort order for the lists compared
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SOURCE_DIR" >&2
    exit 2
fi
build=$(realpath "$1")
source=$(realpath "$2")
cli=$build/cli/quorvane-cli
register=$build/shell/quorvane-register
man_dir=$source/docs/man
completion_dir=$source/resources/completion
pages=(quorvane quorvane-cli quorvane-register)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
declare -a words expected # one case of a completion table
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}
skip() { echo "skipped: $*"; }
have() { command -v "$1" >/dev/null 2>&1; }

# Reads a table of "WORDS => EXPECTED" rows (shell words) and fails, naming SHELL, on the first
# row for which COMPLETE WORDS (a function printing one completion per line) differs.
check_table() { # SHELL COMPLETE
    local shell=$1 complete=$2 row got want
    local -a words expected
    while IFS= read -r row; do
        eval "words=(${row%%=>*})"
        eval "expected=(${row#*=>})"
        got=$("$complete" "${words[*]}" | sort)
        want=$(printf '%s\n' "${expected[@]}" | sort)
        [ "$got" = "$want" ] ||
            fail "$shell: '${words[*]}': got [$(paste -sd '|' <<<"$got")], expected [$(paste -sd '|' <<<"$want")]"
    done
}

for program in "$cli" "$register"; do
    [ -x "$program" ] || { echo "FAILED: $program is not built" >&2; exit 1; }
done

# Prints the long options (--name) in a text, one a line, sorted. In a page they are written
# with escaped dashes (\-\-name\-more), which are taken away first.
long_options() { sed 's/\\-/-/g' "$@" | grep -oE -- '--[a-z][a-z0-9-]*[a-z0-9]' | sort -u || true; }

# Prints the tags of the entries (.TP and .TQ) under OPTIONS of a page.
option_tags() {
    sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$1" | awk 'tag { print } { tag = /^\.T[PQ]/ }'
}

# Says which of the two sorted lists' lines are in only one of them.
compare_lists() { # WHAT FIRST-NAME FIRST SECOND-NAME SECOND
    local only
    only=$(comm -23 <(printf '%s\n' "$3") <(printf '%s\n' "$5") | paste -sd ' ')
    [ -z "$only" ] || fail "$1: in $2 but not in $4: $only"
    only=$(comm -13 <(printf '%s\n' "$3") <(printf '%s\n' "$5") | paste -sd ' ')
    [ -z "$only" ] || fail "$1: in $4 but not in $2: $only"
}

# --- The pages format cleanly -----------------------------------------------------------------
for page in "${pages[@]}"; do
    file=$man_dir/$page.1
    [ -s "$file" ] || { fail "$file is missing"; continue; }
    title=$(tr '[:lower:]' '[:upper:]' <<<"$page" | sed 's/-/\\-/g')
    grep -qF ".TH $title 1 " "$file" || fail "$page.1: .TH does not name $title 1"
    for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
        grep -qx "\.SH \"\?$section\"\?" "$file" || fail "$page.1 has no $section section"
    done
    if have groff; then
        out=$(groff -man -ww -z "$file" 2>&1) || fail "$page.1: groff failed"
        [ -z "$out" ] || fail "$page.1: groff warns: $out"
    fi
    if have man; then
        out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
            man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) || fail "$page.1: man failed"
        [ -z "$out" ] || fail "$page.1: man warns: $out"
    fi
    if have lexgrog; then
        # What whatis and apropos will show; lexgrog fails when the NAME line cannot be read.
        whatis=$(lexgrog "$file" 2>&1) || fail "$page.1: lexgrog cannot read the NAME section: $whatis"
        [[ $whatis == *"\"$page - "?* ]] || fail "$page.1: whatis entry is $whatis"
    fi
done
have groff || skip "groff -ww (install groff-base)"
have man || skip "man --warnings (install man-db)"
have lexgrog || skip "lexgrog (install man-db)"

# --- quorvane-cli.1 says what --help says -----------------------------------------------------
help=$("$cli" --help)
page=$man_dir/quorvane-cli.1
help_options=$(long_options <<<"$help")
[ -n "$help_options" ] || fail "quorvane-cli --help names no option"
# Each option of --help has an entry of its own under OPTIONS, and the page speaks of no option
# that --help does not know.
tags=$(option_tags "$page")
compare_lists "options described" "quorvane-cli --help" "$help_options" "quorvane-cli.1's OPTIONS" \
    "$(long_options <<<"$tags")"
compare_lists "options named" "quorvane-cli --help" "$help_options" "quorvane-cli.1" "$(long_options "$page")"
# Short options: "  -m, --method" in --help, ".BR \-m \", \" \-\-method" under OPTIONS.
for short in $(grep -oE '^ +-[a-z],' <<<"$help" | tr -d ' ,'); do
    grep -qE -- "(^|[ \"])$short([ \"]|$)" <<<"${tags//\\-/-}" ||
        fail "quorvane-cli.1 has no entry for $short"
done
# Commands: "  encrypt   ..." under "Commands:" in --help, ".B encrypt" under COMMANDS in the page.
help_commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z]+' | tr -d ' ' | sort || true)
page_commands=$(sed -n '/^\.SH COMMANDS/,/^\.SH /p' "$page" | sed -n 's/^\.B \([a-z]*\)$/\1/p' | sort)
compare_lists "commands" "quorvane-cli --help" "$help_commands" "quorvane-cli.1" "$page_commands"
# The usage lines ("Usage: quorvane-cli encrypt ...", then one line a command) and the synopsis
# (".B quorvane\-cli encrypt") show the same commands.
usage_commands=$(sed -n '1,/^$/p' <<<"$help" | grep -oE 'quorvane-cli [a-z]+' | cut -d' ' -f2 | sort -u || true)
synopsis_commands=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' "$page" |
    sed -n 's/^\.B quorvane\\-cli \([a-z]*\)$/\1/p' | sort -u)
compare_lists "commands in the synopsis" "quorvane-cli --help's usage" "$usage_commands" "quorvane-cli.1" \
    "$synopsis_commands"
# Exit codes: "  128+N  ..." under "Exit status:", ".BI 128+ n" under EXIT STATUS.
help_codes=$(sed -n '/^Exit status:/,$p' <<<"$help" | grep -oE '^  [0-9]+(\+[A-Z])?' | tr -d ' ' |
    tr '[:upper:]' '[:lower:]' | sort || true)
page_codes=$(sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' "$page" | sed -n 's/^\.BI\? \(.*\)$/\1/p' | tr -d ' ' | sort)
compare_lists "exit codes" "quorvane-cli --help" "$help_codes" "quorvane-cli.1" "$page_codes"

# --- quorvane-register.1 and quorvane.1 name what the programs accept -------------------------
usage=$("$register" --no-such-option 2>&1 >/dev/null || true)
compare_lists "options" "quorvane-register's usage" "$(long_options <<<"$usage")" \
    "quorvane-register.1" "$(long_options "$man_dir/quorvane-register.1")"
# The desktop program's switches are the "/name" texts its command line compares with.
code_switches=$(grep -oE '"/[a-z0-9]+:?"' "$source/fileops/CommandLine.cpp" | tr -d '"' | sort -u || true)
page_switches=$(sed -n '/^\.SH OPTIONS/,/^\.SH /p' "$man_dir/quorvane.1" |
    sed -n 's/^\.BI\? \(\/[a-z0-9]*:\?\).*/\1/p' | sort -u)
compare_lists "switches" "fileops/CommandLine.cpp" "$code_switches" "quorvane.1" "$page_switches"

# --- The bash completion ----------------------------------------------------------------------
# A folder to complete in: crypted files in both letter cases, plain files, a folder whose name
# ends in .cry, a name with a blank and one that begins with "-".
fixture=$work/files
mkdir -p "$fixture/sub" "$fixture/my dir" "$fixture/archive.cry"
touch "$fixture/a.cry" "$fixture/B.CRY" "$fixture/b.txt" "$fixture/notes" "$fixture/-dash.txt" \
    "$fixture/sub/inner.cry" "$fixture/sub/plain.txt"

# One case a line: the words of the command line, the last one being completed (as bash splits
# them: "=" is a word of its own), then "=>" and the replies expected, in any order. Both sides
# are shell words.
cat >"$work/cases" <<'EOF'
quorvane-cli ''                              => decrypt encrypt info test
quorvane-cli d                               => decrypt
quorvane-cli -                               => --help
quorvane-cli --help ''                       =>
quorvane-cli nonsense ''                     =>
quorvane-cli encrypt --me                    => --method
quorvane-cli decrypt --me                    =>
quorvane-cli info -                          => --help
quorvane-cli test --ke                       =>
quorvane-cli test --re                       => --recursive
quorvane-cli encrypt --method ''             => des 3xdes idea
quorvane-cli encrypt --method =              => des 3xdes idea
quorvane-cli encrypt --method = i            => idea
quorvane-cli encrypt --method=3              => --method=3xdes
quorvane-cli encrypt -m ''                   => des 3xdes idea
quorvane-cli encrypt -mi                     => -midea
quorvane-cli encrypt --method idea ''        => b.txt notes -dash.txt 'my dir' sub archive.cry
quorvane-cli encrypt --password-fd ''        =>
quorvane-cli decrypt --jobs ''               =>
quorvane-cli test -j ''                      =>
quorvane-cli decrypt --master-password-fd = 1 =>
quorvane-cli decrypt --password-env QV_TEST_ => QV_TEST_EXPORTED
quorvane-cli encrypt --master-password-env=QV_TEST_ => --master-password-env=QV_TEST_EXPORTED
quorvane-cli encrypt --password-file ''      => a.cry B.CRY b.txt notes -dash.txt 'my dir' sub archive.cry
quorvane-cli decrypt --db sub/               => sub/inner.cry sub/plain.txt
quorvane-cli encrypt ''                      => b.txt notes -dash.txt 'my dir' sub archive.cry
quorvane-cli encrypt a                       => archive.cry
quorvane-cli encrypt '~/arc'                 => '~/archive.cry'
quorvane-cli decrypt ''                      => a.cry B.CRY 'my dir' sub archive.cry
quorvane-cli test -r -j 2 ''                 => a.cry B.CRY 'my dir' sub archive.cry
quorvane-cli decrypt -r s                    => sub
quorvane-cli info sub/                       => sub/inner.cry
quorvane-cli decrypt b                       => b.txt
quorvane-cli decrypt 'my\ d'                 => 'my dir'
quorvane-cli decrypt "'my d"                 => 'my dir'
quorvane-cli encrypt -- -                    => -dash.txt
quorvane-cli encrypt --password-fd 3 --      => --method --keep --force --recursive --jobs --verbose --store --db --master-password-file --master-password-fd --master-password-env --help
quorvane-cli decrypt -kv --store --          => --force --recursive --jobs --password-file --password-fd --password-env --db --master-password-file --master-password-fd --master-password-env --help
quorvane-cli decrypt --master-password-env = X --password-file f -- => --keep --force --recursive --jobs --verbose --store --db --help
quorvane-cli encrypt -rf -j3 --              => --method --keep --verbose --password-file --password-fd --password-env --store --db --master-password-file --master-password-fd --master-password-env --help
quorvane-cli test --password-env = X -r --   => --jobs --verbose --help
EOF
# Every option of --help is offered for encrypt; decrypt takes all but --method; test neither
# --method nor those that keep or replace files or use the database of stored passwords.
{
    echo "quorvane-cli encrypt -- => $(paste -sd ' ' <<<"$help_options")"
    echo "quorvane-cli decrypt -- => $(grep -vx -- --method <<<"$help_options" | paste -sd ' ')"
    echo "quorvane-cli test -- => $(grep -vxE -- '--(method|keep|force|store|db|master-password-.*)' \
        <<<"$help_options" | paste -sd ' ')"
} >>"$work/cases"

# Runs in a bash of its own: COMPLETION CASES [BASH_COMPLETION_SCRIPT]
cat >"$work/run-cases.bash" <<'EOF'
[ -z "${3-}" ] || source "$3"
source "$1"
registered=$(complete -p quorvane-cli 2>/dev/null) || { echo "no completion is registered for quorvane-cli"; exit 1; }
function=${registered#*-F }
function=${function%% *}
export QV_TEST_EXPORTED=1
QV_TEST_UNEXPORTED=1
failed=0
while IFS= read -r row; do
    eval "COMP_WORDS=(${row%%=>*})"
    eval "expected=(${row#*=>})"
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function" quorvane-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    want=$(printf '%s\n' "${expected[@]}" | sort)
    if [ "$got" != "$want" ]; then
        echo "${row%%=>*}: got [$(paste -sd '|' <<<"$got")], expected [$(paste -sd '|' <<<"$want")]"
        failed=1
    fi
done <"$2"
exit $failed
EOF
bash_completion=/usr/share/bash-completion/bash_completion
for loaded in "" "$bash_completion"; do
    if [ -n "$loaded" ] && [ ! -r "$loaded" ]; then
        skip "bash completion with bash-completion loaded (install bash-completion)"
        continue
    fi
    out=$(cd "$fixture" && HOME=$fixture bash --norc --noprofile "$work/run-cases.bash" \
        "$completion_dir/quorvane-cli.bash" "$work/cases" "$loaded" 2>&1) ||
        fail "bash completion${loaded:+ with bash-completion loaded}:"$'\n'"$out"
done

# --- Installed where man and the shells look ----------------------------------------------------
prefix=$work/prefix
if [ ! -f "$build/docs/cmake_install.cmake" ]; then
    fail "$build/docs is not configured: docs/ is not part of the build"
elif ! cmake --install "$build/docs" --prefix "$prefix" >"$work/install.log" 2>&1; then
    fail "installing docs/: $(cat "$work/install.log")"
else
    for page in "${pages[@]}"; do
        archive=$prefix/share/man/man1/$page.1.gz
        [ -s "$archive" ] || { fail "$page.1.gz is not installed"; continue; }
        gzip -dc "$archive" | cmp -s - "$man_dir/$page.1" || fail "$page.1.gz does not hold docs/man/$page.1"
        # Header bytes 3 to 8: flags (no name, no comment), time stamp 0, maximum compression.
        header=$(od -An -tx1 -j3 -N6 "$archive" | tr -d ' \n')
        [ "$header" = 000000000002 ] || fail "$page.1.gz is not compressed with gzip -9n (header $header)"
        if have man; then
            found=$(MANPATH=$prefix/share/man man -w "$page" 2>/dev/null || true)
            [ "$found" = "$archive" ] || fail "man -w $page finds '$found'"
        fi
    done
    for file in share/bash-completion/completions/quorvane-cli share/zsh/vendor-completions/_quorvane-cli \
        share/fish/vendor_completions.d/quorvane-cli.fish; do
        [ -s "$prefix/$file" ] || fail "$file is not installed"
    done

    # The shells load a completion when the command is first completed, from the folders of
    # XDG_DATA_DIRS (bash-completion, fish) or of fpath (zsh), for a command on PATH.
    mkdir -p "$work/bin"
    ln -s "$cli" "$work/bin/quorvane-cli"
    export PATH=$work/bin:$PATH XDG_DATA_DIRS=$prefix/share
    if [ -r "$bash_completion" ]; then
        out=$(cd "$fixture" && bash --norc --noprofile -c 'source "$1"; _completion_loader quorvane-cli
            COMP_WORDS=(quorvane-cli decrypt ""); COMP_CWORD=2; COMPREPLY=()
            "$(complete -p quorvane-cli | sed "s/.*-F \([^ ]*\).*/\1/")"
            printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' bash "$bash_completion" 2>&1) || true
        [ "$out" = "B.CRY a.cry archive.cry my dir sub" ] ||
            fail "bash-completion's loader with the installed file: got '$out'"
    fi
    if have fish; then
        # The installed completion's replies for a table of cases like the one above: only the
        # names, without the descriptions fish puts after a tab.
        fish_complete() {
            # shellcheck disable=SC2016 # $argv is fish's
            (cd "$fixture" && HOME=$work/fish-home XDG_CONFIG_HOME=$work/fish-home \
                fish -c 'complete -C $argv[1]' "$1" 2>&1 | cut -f1)
        }
        check_table fish fish_complete <<'EOF'
quorvane-cli ''                     => decrypt encrypt info test
quorvane-cli encrypt --me           => --method
quorvane-cli decrypt --me           =>
quorvane-cli encrypt --method ''    => des 3xdes idea
quorvane-cli encrypt ''             => b.txt notes -dash.txt 'my dir/' sub/ archive.cry/
quorvane-cli decrypt ''             => a.cry B.CRY 'my dir/' sub/ archive.cry/
quorvane-cli info n                 => notes
quorvane-cli decrypt a              => a.cry archive.cry/
quorvane-cli encrypt --password-fd '' =>
quorvane-cli test -r -j 2 ''        => a.cry B.CRY 'my dir/' sub/ archive.cry/
quorvane-cli test --ke              =>
quorvane-cli test --re              => --recursive
quorvane-cli decrypt --jobs ''      =>
EOF
    else
        skip "fish completion (install fish)"
    fi
    if ! have zsh; then
        skip "zsh completion (install zsh)"
    elif ! zsh -fc 'zmodload zsh/zpty && zpty qv true && zpty -d qv' >/dev/null 2>&1; then
        skip "zsh completion (zsh cannot open a pseudo terminal here)"
    else
        # zsh completes only in its line editor: an interactive zsh in a pseudo terminal
        # completes the line, and compadd, wrapped, prints what it is given.
        cat >"$work/zsh-complete.zsh" <<'EOF'
zmodload zsh/zpty
zpty z zsh -f -i
zpty -w z "PS1=''; fpath=(${(q)1} \$fpath); autoload -U compinit; compinit -u -D; cd ${(q)2}"
zpty -w z 'bindkey "^I" complete-word; qv-mark () { echo -E - @@MARK@@ }; compprefuncs=(qv-mark); comppostfuncs=(qv-mark exit)'
zpty -w z 'compadd () { if [[ ${@[1,(i)(-|--)]} == *-(O|A|D)\ * ]]; then builtin compadd "$@"; return; fi; local -a qv_hits; builtin compadd -A qv_hits "$@"; (( $#qv_hits )) && print -rl -- @@HIT@@${^qv_hits}; builtin compadd "$@" }'
zpty -w z "$3"$'\t'
integer marks=0
local line
while (( marks < 2 )) && zpty -r z line; do
  line=${${line%$'\n'}%$'\r'}
  if [[ $line == *@@MARK@@ ]]; then (( marks++ )); elif (( marks == 1 )) && [[ $line == @@HIT@@* ]]; then print -r -- ${line#@@HIT@@}; fi
done
zpty -d z
EOF
        zsh_complete() {
            # compadd may be given a name more than once; each counts once.
            timeout 60 zsh -f "$work/zsh-complete.zsh" "$prefix/share/zsh/vendor-completions" \
                "$fixture" "$1" 2>&1 | sort -u
        }
        check_table zsh zsh_complete <<'EOF'
quorvane-cli ''                     => decrypt encrypt info test
quorvane-cli encrypt --me           => --method
quorvane-cli encrypt --method ''    => des 3xdes idea
quorvane-cli decrypt ''             => a.cry B.CRY 'my\ dir' sub archive.cry
quorvane-cli encrypt ''             => b.txt notes -dash.txt 'my\ dir' sub archive.cry
quorvane-cli test -r -j 2 ''        => a.cry B.CRY 'my\ dir' sub archive.cry
quorvane-cli test --ke              =>
quorvane-cli test --re              => --recursive
quorvane-cli decrypt --jobs ''      =>
EOF
    fi
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "manual pages and completion checked"
