#!/usr/bin/env bash
# Times quorvane-cli against ccrypt, the program users compare it with, on one tree of files:
# 1,000 files of 64 KiB of random bytes in 20 folders of 50 (65.5 MB), made afresh in a folder
# on a disk. Each command works on the whole tree in place:
#   ccrypt -e -r -K PASSWORD TREE                                and ccrypt -d -r ...
#   quorvane-cli encrypt -r --jobs 1 --password-env VAR TREE     and decrypt -r --jobs 1 ...
#   quorvane-cli encrypt -r --password-env VAR TREE              and decrypt -r ... (as many
#                                                                jobs as processors)
# quorvane-cli runs with its default method (3xDES), with --method idea and with --method des;
# ccrypt once. Every decryption must give back the plain tree byte for byte (checked against
# a sha256 list of all files made with the tree), so every run starts from the same files;
# after every encryption each file must have its crypted file and no plain file may be left.
#
#   bench/cli-tree-bench.sh [FOLDER] [--rounds N] [--cli PATH] [--allow-tmpfs]
# FOLDER is where the tree is made, in a fresh folder of its own (default /var/tmp). It must be
# on a disk: a tmpfs is refused (it would time memory copies, not a file system) unless
# --allow-tmpfs is given. --rounds N: rounds of every command, the best (shortest) counts
# (default 3). --cli PATH names the quorvane-cli to time; default build/bench/cli/quorvane-cli
# of the repository, else build/dev/cli/quorvane-cli. Nothing is built here: build the bench
# preset with   cmake --preset bench && cmake --build --preset bench
# ccrypt comes with   scripts/install-deps.sh bench
#
# Before each timed command the file systems are synced (sync); caches are not dropped (that
# needs root), so every command reads files that an earlier command has just written.
# Prints the machine (processors, CPU model, the folder's file system), one line per round,
# then a table: each command's best time, its throughput (MB = 10^6 bytes of plain data), its
# time over ccrypt's in the same direction ("x ccrypt": above 1 is slower than ccrypt) and, for
# the default jobs, the speed-up over --jobs 1 (the time with --jobs 1 over the time with the
# default). Only figures: no time is too slow. The script fails (exit 1) only when something is
# broken: a command that fails, a file not encrypted, a file not given back as it was; exit 2
# for a bad command line or a missing program. The tree is removed at the end in any case.
set -euo pipefail
shopt -s nullglob

readonly PROGRAM_NAME=cli-tree-bench.sh
TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly TOP

usage() {
    sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//'
}

die() {
    echo "$PROGRAM_NAME: $*" >&2
    exit 2
}

# Something that should work did not: the figures would mean nothing.
broken() {
    echo "$PROGRAM_NAME: FAILED: $*" >&2
    exit 1
}

# ---------------------------------------------------------------------------------------------
# Command line

BASE_ARG=""
ROUNDS=3
CLI_ARG=""
ALLOW_TMPFS=0
while (($# > 0)); do
    case $1 in
    --rounds)
        (($# >= 2)) || die "--rounds needs a number"
        ROUNDS=$2
        shift
        ;;
    --rounds=*) ROUNDS=${1#--rounds=} ;;
    --cli)
        (($# >= 2)) || die "--cli needs the path of quorvane-cli"
        CLI_ARG=$2
        shift
        ;;
    --cli=*) CLI_ARG=${1#--cli=} ;;
    --allow-tmpfs) ALLOW_TMPFS=1 ;;
    -h | --help)
        usage
        exit 0
        ;;
    -*) die "unknown option \"$1\" (see --help)" ;;
    *)
        [[ -z $BASE_ARG ]] || die "one FOLDER only (\"$BASE_ARG\", then \"$1\")"
        BASE_ARG=$1
        ;;
    esac
    shift
done
[[ $ROUNDS =~ ^[1-9][0-9]*$ ]] || die "--rounds takes a whole number from 1 (not \"$ROUNDS\")"
readonly ROUNDS ALLOW_TMPFS

# ---------------------------------------------------------------------------------------------
# The programs

# quorvane-cli: the one named, else the bench build (a release build, as users get it), else
# the developer build.
if [[ -n $CLI_ARG ]]; then
    CLI=$CLI_ARG
    CLI_FROM="from --cli"
    [[ -x $CLI ]] || die "--cli $CLI: no such program (or not executable)"
else
    CLI=""
    for candidate in build/bench/cli/quorvane-cli build/dev/cli/quorvane-cli; do
        if [[ -x $TOP/$candidate ]]; then
            CLI=$TOP/$candidate
            CLI_FROM="the ${candidate%%/cli/*} build"
            break
        fi
    done
    if [[ -z $CLI ]]; then
        die "no quorvane-cli at build/bench/cli/quorvane-cli or build/dev/cli/quorvane-cli.
Build it, in $TOP, with
    cmake --preset bench && cmake --build --preset bench
or name one with --cli PATH."
    fi
fi
CLI=$(realpath -e "$CLI")
readonly CLI CLI_FROM

CCRYPT=$(command -v ccrypt) ||
    die "ccrypt is not installed; it is the program the figures are compared with.
Install it with
    scripts/install-deps.sh bench"
readonly CCRYPT

# One password for every command. quorvane-cli takes it from the environment; ccrypt only
# takes a key on its command line (-K), which other users could read in the process list: fine
# for a benchmark's throwaway password. DES keys are 8 bytes and quorvane-cli refuses a longer
# password for DES, so the DES runs use the first 8 bytes.
readonly PASSWORD=bench-pass # 10 bytes
readonly PASSWORD_DES=${PASSWORD:0:8}
export QV_BENCH_PASSWORD=$PASSWORD

# ---------------------------------------------------------------------------------------------
# The folder and its file system

readonly FOLDERS=20
readonly FILES_PER_FOLDER=50
readonly FILE_BYTES=65536
readonly FILE_COUNT=$((FOLDERS * FILES_PER_FOLDER))
readonly TREE_BYTES=$((FILE_COUNT * FILE_BYTES))

BASE=$(realpath -e -- "${BASE_ARG:-/var/tmp}") || die "no folder ${BASE_ARG:-/var/tmp}"
[[ -d $BASE ]] || die "$BASE is not a folder"
readonly BASE

# df names the file system the way mount does (ext4, xfs, btrfs, tmpfs); stat -f knows tmpfs
# and ramfs by their magic number even where df's table says something else.
FS_TYPE=$(df --output=fstype -- "$BASE" | tail -n 1 | tr -d ' ')
FS_SOURCE=$(df --output=source -- "$BASE" | tail -n 1 | tr -d ' ')
FS_MOUNT=$(df --output=target -- "$BASE" | tail -n 1)
FS_MAGIC=$(stat -f -c %T -- "$BASE")
readonly FS_TYPE FS_SOURCE FS_MOUNT FS_MAGIC
if [[ $FS_TYPE == tmpfs || $FS_TYPE == ramfs || $FS_MAGIC == tmpfs || $FS_MAGIC == ramfs ]]; then
    if ((!ALLOW_TMPFS)); then
        die "$BASE is on a $FS_TYPE: in memory, not on a disk, so the figures would leave out
the file system's work. Give a folder on a disk (the default /var/tmp usually is one), or
--allow-tmpfs to time it anyway."
    fi
fi

# Room for the tree and, while a command runs, the crypted files of a batch beside their plain
# files: three times the tree is plenty.
FREE_BYTES=$(df --output=avail -B1 -- "$BASE" | tail -n 1 | tr -d ' ')
((FREE_BYTES >= 3 * TREE_BYTES)) ||
    die "$BASE has $((FREE_BYTES / 1000000)) MB free; the benchmark needs $((3 * TREE_BYTES / 1000000)) MB"

WORK=$(mktemp -d "$BASE/quorvane-cli-bench.XXXXXX")
readonly WORK
readonly TREE=$WORK/tree               # what the commands work on
readonly PLAIN_SUMS=$WORK/plain.sha256 # the plain tree's checksums, outside the tree
readonly LOG=$WORK/command.log         # the last command's messages

cleanup() {
    rm -rf -- "$WORK"
}
trap cleanup EXIT
trap 'echo "$PROGRAM_NAME: interrupted" >&2; exit 130' INT TERM HUP

# ---------------------------------------------------------------------------------------------
# Helpers

# Sets NOW to the time in microseconds.
clock() {
    local t=${EPOCHREALTIME/[.,]/}
    NOW=$((10#$t))
}

# Microseconds as seconds with three decimals.
as_seconds() {
    printf '%d.%03d' "$(($1 / 1000000))" "$((($1 % 1000000) / 1000))"
}

# Lists the tree's files (paths from the top of the tree), sorted the same way every time.
list_files() {
    (cd "$TREE" && find . -type f -print | LC_ALL=C sort)
}

# Makes the tree: FOLDERS folders of FILES_PER_FOLDER files of FILE_BYTES random bytes, one read
# of /dev/urandom per folder cut into files by split; then its checksum list.
make_tree() {
    local f folder
    mkdir -- "$TREE"
    for ((f = 0; f < FOLDERS; f++)); do
        printf -v folder '%s/folder%02d' "$TREE" "$f"
        mkdir -- "$folder"
        head -c $((FILES_PER_FOLDER * FILE_BYTES)) /dev/urandom |
            split -b "$FILE_BYTES" -d -a 3 - "$folder/file"
    done
    (cd "$TREE" && list_files | sed 's/^\.\///' | xargs -d '\n' sha256sum --) >"$PLAIN_SUMS"
    local count
    count=$(wc -l <"$PLAIN_SUMS")
    ((count == FILE_COUNT)) || broken "the tree has $count files, not $FILE_COUNT"
}

# Checks that the tree is the plain tree again: the same files, no other file (no crypted file
# left, nothing extra), each with its original content.
check_plain() {
    local what=$1 expected present missing extra
    expected=$(sed 's/^[0-9a-f]*  /.\//' "$PLAIN_SUMS")
    present=$(list_files)
    if [[ $present != "$expected" ]]; then
        missing=$(comm -23 <(printf '%s\n' "$expected") <(printf '%s\n' "$present"))
        extra=$(comm -13 <(printf '%s\n' "$expected") <(printf '%s\n' "$present"))
        {
            echo "$PROGRAM_NAME: FAILED: after $what the tree is not the plain tree:"
            if [[ -n $missing ]]; then
                echo "  $(grep -c . <<<"$missing") plain files missing, e.g.:"
                head -n 5 <<<"$missing" | sed 's/^/    /'
            fi
            if [[ -n $extra ]]; then
                echo "  $(grep -c . <<<"$extra") other files, e.g.:"
                head -n 5 <<<"$extra" | sed 's/^/    /'
            fi
        } >&2
        exit 1
    fi
    local bad
    if ! bad=$(cd "$TREE" && sha256sum --check --quiet --strict -- "$PLAIN_SUMS" 2>&1); then
        {
            echo "$PROGRAM_NAME: FAILED: after $what some files differ from the plain tree:"
            head -n 10 <<<"$bad" | sed 's/^/    /'
        } >&2
        exit 1
    fi
}

# Checks that the tree holds a crypted file of each plain file (name + suffix) and nothing else:
# a command that skipped files would otherwise show a flattering time.
check_crypted() {
    local what=$1 suffix=$2 expected present
    expected=$(sed "s/^[0-9a-f]*  /.\\//; s/\$/$suffix/" "$PLAIN_SUMS")
    present=$(list_files)
    if [[ $present != "$expected" ]]; then
        {
            echo "$PROGRAM_NAME: FAILED: after $what the tree does not hold one $suffix file per plain file:"
            diff <(printf '%s\n' "$expected") <(printf '%s\n' "$present") | grep '^[<>]' |
                head -n 10 | sed 's/^</    missing:/; s/^>/    extra:  /'
        } >&2
        exit 1
    fi
}

# Runs a command with the messages to LOG, after a sync, and sets TOOK to its time in
# microseconds; a command that fails ends the benchmark with its messages.
timed() {
    local what=$1 start status=0
    shift
    sync
    clock
    start=$NOW
    "$@" </dev/null >"$LOG" 2>&1 || status=$?
    clock
    TOOK=$((NOW - start))
    if ((status != 0)); then
        {
            echo "$PROGRAM_NAME: FAILED: $what ended with status $status:"
            printf '   '
            printf ' %q' "$@"
            echo
            head -n 20 "$LOG" | sed 's/^/    | /'
        } >&2
        exit 1
    fi
    # A command that worked but said something: show it once, it may explain a figure.
    if [[ -s $LOG && -z ${SAID[$what]:-} ]]; then
        SAID[$what]=1
        echo "  ($what printed: $(head -n 3 "$LOG" | tr '\n' ' '))"
    fi
}
declare -A SAID

# ---------------------------------------------------------------------------------------------
# The commands timed. Each configuration encrypts the plain tree and decrypts it again; the
# labels are what the table prints.

CONFIGS=(ccrypt 3xdes:1 3xdes:default idea:1 idea:default des:1 des:default)
readonly CONFIGS

# Sets ENCRYPT, DECRYPT (the command words), PASS_VALUE, SUFFIX, METHOD and the labels (the
# table's and the round lines') for a configuration.
describe_config() {
    local config=$1 jobs method
    if [[ $config == ccrypt ]]; then
        ENCRYPT=("$CCRYPT" -e -r -K "$PASSWORD" "$TREE")
        DECRYPT=("$CCRYPT" -d -r -K "$PASSWORD" "$TREE")
        ENCRYPT_LABEL="ccrypt -e -r"
        DECRYPT_LABEL="ccrypt -d -r"
        SUFFIX=.cpt
        METHOD=""
        PASS_VALUE=$PASSWORD
        ROUND_LABEL=ccrypt
        return
    fi
    method=${config%%:*}
    jobs=${config#*:}
    local jobs_option=() method_option=() jobs_label="" method_label
    if [[ $jobs == 1 ]]; then
        jobs_option=(--jobs 1)
        jobs_label=" --jobs 1"
    fi
    # The default method is run without --method, as users run it.
    if [[ $method == 3xdes ]]; then
        method_label="(default: 3xdes)"
    else
        method_option=(--method "$method")
        method_label="--method $method"
    fi
    ENCRYPT=("$CLI" encrypt -r "${jobs_option[@]}" "${method_option[@]}"
        --password-env QV_BENCH_PASSWORD "$TREE")
    DECRYPT=("$CLI" decrypt -r "${jobs_option[@]}" --password-env QV_BENCH_PASSWORD "$TREE")
    ENCRYPT_LABEL="quorvane-cli encrypt -r$jobs_label $method_label"
    DECRYPT_LABEL="quorvane-cli decrypt -r$jobs_label ($method files)"
    SUFFIX=.cry
    METHOD=$method
    if [[ $jobs == 1 ]]; then
        ROUND_LABEL="quorvane-cli $method, --jobs 1"
    else
        ROUND_LABEL="quorvane-cli $method, default jobs"
    fi
    PASS_VALUE=$PASSWORD
    [[ $method != des ]] || PASS_VALUE=$PASSWORD_DES
}

# Checks, with quorvane-cli info, that the crypted files are of the method the label names
# (the default method included).
check_method() {
    local file=$TREE/folder00/file000.cry line
    line=$("$CLI" info "$file" | grep -m 1 'method:') || broken "quorvane-cli info $file says no method"
    read -r _ line _ <<<"$line"
    [[ ${line,,} == "$1" ]] || broken "the files encrypted as $1 are $line"
}

# ---------------------------------------------------------------------------------------------
# The machine

cpu_model=$(grep -m 1 '^model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//') || true
[[ -n $cpu_model ]] || cpu_model=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -n 1) || true
PROCESSORS=$(nproc)
readonly PROCESSORS
ccrypt_version=$("$CCRYPT" --version 2>/dev/null | head -n 1 | cut -d. -f1-2) || true

echo "quorvane-cli against ccrypt on one tree of $FILE_COUNT files of $FILE_BYTES bytes in $FOLDERS folders ($(awk -v b="$TREE_BYTES" 'BEGIN { printf "%.1f", b / 1e6 }') MB)"
echo "quorvane-cli: $CLI ($CLI_FROM)"
echo "ccrypt:       $CCRYPT (${ccrypt_version:-version unknown})"
echo "processors:   $PROCESSORS (nproc; quorvane-cli's default jobs)"
echo "CPU:          ${cpu_model:-unknown}"
echo "folder:       $WORK"
echo "file system:  $FS_TYPE ($FS_SOURCE on $FS_MOUNT; stat -f: $FS_MAGIC)"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes; other work on the machine shows in the figures)"
echo "best of $ROUNDS rounds; sync before each timed command, caches not dropped"
echo

make_tree

# ---------------------------------------------------------------------------------------------
# The rounds: each configuration in turn within a round, so that whatever else the machine
# does spreads over all of them rather than falling on one.

declare -A BEST # "config encrypt|decrypt" -> microseconds
for ((round = 1; round <= ROUNDS; round++)); do
    for config in "${CONFIGS[@]}"; do
        describe_config "$config"
        export QV_BENCH_PASSWORD=$PASS_VALUE

        timed "$ENCRYPT_LABEL" "${ENCRYPT[@]}"
        encrypt_took=$TOOK
        check_crypted "$ENCRYPT_LABEL" "$SUFFIX"
        [[ -z $METHOD ]] || ((round > 1)) || check_method "$METHOD"

        timed "$DECRYPT_LABEL" "${DECRYPT[@]}"
        decrypt_took=$TOOK
        check_plain "$DECRYPT_LABEL"

        key="$config encrypt"
        [[ -n ${BEST[$key]:-} ]] && ((BEST[$key] <= encrypt_took)) || BEST[$key]=$encrypt_took
        key="$config decrypt"
        [[ -n ${BEST[$key]:-} ]] && ((BEST[$key] <= decrypt_took)) || BEST[$key]=$decrypt_took
        printf 'round %d  %-32s encrypt %8ss  decrypt %8ss  (tree restored)\n' "$round" \
            "$ROUND_LABEL" "$(as_seconds "$encrypt_took")" "$(as_seconds "$decrypt_took")"
    done
done
export QV_BENCH_PASSWORD=$PASSWORD

# ---------------------------------------------------------------------------------------------
# The table

echo
printf '%-52s %9s %8s %9s %9s\n' "command (best of $ROUNDS)" seconds "MB/s" "x ccrypt" "speed-up"
for direction in encrypt decrypt; do
    reference=${BEST[ccrypt $direction]}
    for config in "${CONFIGS[@]}"; do
        describe_config "$config"
        if [[ $direction == encrypt ]]; then
            label=$ENCRYPT_LABEL
        else
            label=$DECRYPT_LABEL
        fi
        took=${BEST[$config $direction]}
        # The speed-up of the default jobs over --jobs 1, on the default jobs' line.
        single=""
        [[ $config != *:default ]] || single=${BEST[${config%%:*}:1 $direction]}
        awk -v label="$label" -v took="$took" -v bytes="$TREE_BYTES" -v ref="$reference" \
            -v single="$single" 'BEGIN {
                speedup = single == "" ? "" : sprintf("%.2f", single / took)
                printf "%-52s %9.3f %8.1f %9.2f %9s\n", label, took / 1e6, bytes / took, took / ref, speedup
            }'
    done
    echo
done
echo "MB/s: 10^6 bytes of plain data per second. x ccrypt: seconds over ccrypt's in the same"
echo "direction (above 1: slower than ccrypt). speed-up: seconds with --jobs 1 over seconds with"
echo "the default jobs ($PROCESSORS here)."
echo "quorvane-cli makes its outputs durable (one syncfs per batch, which also writes out whatever"
echo "else is waiting on that file system) and overwrites each plain file with random bytes before"
echo "removing it; ccrypt overwrites each file in place and leaves the writing back to the kernel."
echo "Both times include what each program does, nothing more."
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
