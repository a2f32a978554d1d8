#!/usr/bin/env bash
# Runs quorvane-cli the way a hostile machine would (a full disk, a file-size limit, a kill at
# any moment) and checks after every run that nothing was lost or left behind:
#   - one complete copy of the data survives: the plain file with its original content, or a
#     crypted file that decrypts to it (both may be there);
#   - no half-written file sits under a final name;
#   - no temporary file is left in the folder (the wipe's "~" and "~~~~~~~~.~~~" are counted
#     apart as wipe leftovers);
#   - with --store, every earlier password in the database is still there, and so is the
#     password of the file in hand while its crypted file is still there;
#   - the exit status is 0, 1 or, when the sweep killed it, 137: death by any other signal
#     (SIGXFSZ gives 153) is a failure.
#
#   scripts/fault-sweep.sh [--quick] [--verbose] [SWEEP...]
# SWEEP is full-disk, file-size, kill or batch; all four by default. The batch sweep kills
# encrypt -r -j 2 and decrypt -r -j 2 of a folder of many small files in subfolders, which are
# written and wiped or deleted a batch at a time, and checks every file of the folder.
# --quick runs fewer points; --verbose names every run and its exit status.
# QUORVANE_CLI names the program to try (relative to the top of the repository or absolute);
# default build/release/cli/quorvane-cli, else build/dev/cli/quorvane-cli.
# FAULT_SWEEP_TMP is the folder for the scratch files (default /var/tmp; it must be on a disk,
# as the kill sweep's files are large).
#
# The full-disk sweep mounts a small tmpfs and needs root (or a user namespace: the script
# puts itself in a mount namespace of its own, so the tmpfs goes away with it in any case).
# Failures are printed as they come (the first few of each kind per sweep), all of them go to
# a log in a report folder with the folder listing and the program's messages of the first
# runs of each kind; the script ends with a table and exits 1 when any check failed.
# Not part of the ctest or CI runs: it takes minutes and mounts file systems.
set -euo pipefail
shopt -s nullglob dotglob

readonly PROGRAM_NAME=fault-sweep.sh
TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly TOP

usage() {
    sed -n '2,/^set -euo/p' "${BASH_SOURCE[0]}" | sed -e '$d' -e 's/^# \{0,1\}//'
}

# ---------------------------------------------------------------------------------------------
# Command line

QUICK=0
VERBOSE=0
SWEEPS=()
for arg in "$@"; do
    case $arg in
    --quick) QUICK=1 ;;
    -v | --verbose) VERBOSE=1 ;;
    -h | --help)
        usage
        exit 0
        ;;
    full-disk | file-size | kill | batch) SWEEPS+=("$arg") ;;
    fsize) SWEEPS+=(file-size) ;;
    *)
        echo "$PROGRAM_NAME: unknown argument \"$arg\" (the sweeps are full-disk, file-size, kill and batch)" >&2
        exit 2
        ;;
    esac
done
((${#SWEEPS[@]} > 0)) || SWEEPS=(full-disk file-size kill batch)

# A mount namespace of our own: the tmpfs of the full-disk sweep then disappears with the
# script even when it is killed. Without root, a user namespace maps us to root in it, which
# is enough to mount a tmpfs. When neither works, the sweep that needs it says it is skipped.
if [[ -z ${QV_SWEEP_NAMESPACE:-} ]]; then
    export QV_SWEEP_NAMESPACE=1
    if ((EUID == 0)); then
        namespace=(unshare --mount --propagation private)
    else
        namespace=(unshare --map-root-user --mount --propagation private)
    fi
    if "${namespace[@]}" true 2>/dev/null; then
        exec "${namespace[@]}" bash "${BASH_SOURCE[0]}" "$@"
    fi
fi

# ---------------------------------------------------------------------------------------------
# The program under test

CLI=${QUORVANE_CLI:-}
if [[ -z $CLI ]]; then
    CLI=build/release/cli/quorvane-cli
    [[ -x $TOP/$CLI ]] || CLI=build/dev/cli/quorvane-cli
fi
[[ $CLI == /* ]] || CLI=$TOP/$CLI
if [[ ! -x $CLI ]]; then
    echo "$PROGRAM_NAME: no quorvane-cli at $CLI (build it, or set QUORVANE_CLI)" >&2
    exit 2
fi
readonly CLI

# Passwords travel in the environment, never on a command line. The wrong one is what the
# database checks give, so that a file opens there only with its stored password.
export QV_SWEEP_PW=swpass77 # 8 bytes: good for DES, IDEA and 3xDES alike
export QV_SWEEP_MASTER=sweep-master-1
export QV_SWEEP_WRONG=notthepw

readonly METHODS=(des 3xdes idea)
readonly EARLIER=(e1 e2 e3) # files encrypted with --store before a sweep
readonly DB_NAME=xwords.001

# Points of the full-disk and file-size sweeps: every FINE_STEP bytes within NEAR bytes of 0
# and of each size that matters (the output's size, the database's), every COARSE_STEP bytes
# elsewhere; running out of room in the middle of a large file is the same event wherever
# it happens, at the start and the end it is not.
if ((QUICK)); then
    FILE_SIZES=(0 10241 1048579)
    STORE_SIZES=(10241)
    NEAR=32768
    FINE_STEP=16384
    COARSE_STEP=262144
    KILL_SIZE=$((20 << 20))
    KILL_POINTS=10
    KILL_CHANGES=4
    BATCH_COUNT=18
    BATCH_MAX_KIB=128
    BATCH_POINTS=8
else
    FILE_SIZES=(0 1 8 10239 10240 10241 1048579)
    STORE_SIZES=(1 10241)
    NEAR=65536
    FINE_STEP=4096
    COARSE_STEP=32768
    KILL_SIZE=$((32 << 20))
    KILL_POINTS=40
    KILL_CHANGES=8
    BATCH_COUNT=60
    BATCH_MAX_KIB=200
    BATCH_POINTS=30
fi
readonly KILL_NAME=big.dat
readonly KILL_METHOD=3xdes # the slowest method: the widest window to land in
# The batch sweep's folder: BATCH_COUNT files of BATCH_MIN_KIB to BATCH_MAX_KIB KiB, dealt in
# turn to the subfolders BATCH_DIRS. Their reference files are REF/plain/batch/<dir>/f<nn> and
# their keys in PLAIN_HASH, CRY_HASH and CRY_SIZE are batch/<dir>/f<nn>.
readonly BATCH_MIN_KIB=64
readonly BATCH_DIRS=(alpha beta gamma)
readonly BATCH_JOBS=2
readonly BATCH_METHOD=3xdes

# ---------------------------------------------------------------------------------------------
# Scratch space and cleaning up

SCRATCH_BASE=$(realpath -e "${FAULT_SWEEP_TMP:-/var/tmp}")
# Paths are keys of the database, so the scratch folder's own path must have no symbolic link.
SCRATCH=$(realpath -e "$(mktemp -d "$SCRATCH_BASE/quorvane-sweep.XXXXXX")")
readonly SCRATCH
REF=$SCRATCH/ref   # reference files: plain, crypted per method, dummies, databases
CHK=$SCRATCH/chk   # scratch for the checks
MNT=$SCRATCH/mnt   # the tmpfs of the full-disk sweep
ERRFILE=$SCRATCH/stderr.txt         # the checks' runs
RUN_ERR=$SCRATCH/run-stderr.txt     # the run under test
REPORT_DIR=""      # made at the first failure, kept afterwards
MOUNTED=0
CLI_PID=""
FILLER=""          # the full-disk sweep's filler file
AFTER_RUN=()       # a command run between the program's end and the checks

cleanup() {
    if [[ -n $CLI_PID ]]; then
        kill -KILL "$CLI_PID" 2>/dev/null || true
        wait "$CLI_PID" 2>/dev/null || true
    fi
    if ((MOUNTED)); then
        umount "$MNT" 2>/dev/null || umount -l "$MNT" 2>/dev/null || true
    fi
    rm -rf "$SCRATCH"
}
trap cleanup EXIT
trap 'echo "$PROGRAM_NAME: interrupted" >&2; exit 130' INT TERM HUP

cd "$SCRATCH"
mkdir -p "$REF" "$CHK"

# ---------------------------------------------------------------------------------------------
# Small helpers

# Prints the sha256 of a file.
hash_of() {
    local h _
    read -r h _ < <(sha256sum -- "$1")
    printf '%s\n' "$h"
}

# Sets HASHES[path] to the sha256 of each file given, with one sha256sum for all of them (a
# process costs more than hashing a small file).
declare -A HASHES
hash_files() {
    local h path
    HASHES=()
    (($# > 0)) || return 0
    while read -r h path; do
        HASHES[$path]=$h
    done < <(sha256sum -- "$@")
}

# Sets NOW to the time in microseconds (no subshell: the kill sweep's timing depends on it).
clock() {
    local t=${EPOCHREALTIME/[.,]/}
    NOW=$((10#$t))
}

# Waits the given microseconds without starting a process (a sleep process costs tens of
# milliseconds on a busy machine): a read with a time limit on a pipe nobody writes to.
NEVER_FD=""
pause_us() {
    if [[ -z $NEVER_FD ]]; then
        mkfifo "$SCRATCH/never"
        exec {NEVER_FD}<>"$SCRATCH/never"
    fi
    local seconds
    printf -v seconds '%d.%06d' "$(($1 / 1000000))" "$(($1 % 1000000))"
    read -r -t "$seconds" -u "$NEVER_FD" _ || true
}

# Microseconds as seconds with three decimals.
as_seconds() {
    printf '%d.%03d' "$(($1 / 1000000))" "$((($1 % 1000000) / 1000))"
}

# Sets DESCRIBED to an exit status in words: "1", "137 (SIGKILL)" (no subshell: this runs
# for every run).
describe_status() {
    local s=$1 name
    DESCRIBED=$s
    if ((s > 128 && s < 128 + 65)); then
        name=$(kill -l "$((s - 128))" 2>/dev/null) || name="?"
        DESCRIBED="$s (SIG$name)"
    fi
}

die() {
    echo "$PROGRAM_NAME: $*" >&2
    exit 2
}

# Runs quorvane-cli with the arguments given, standard input empty, messages to ERRFILE;
# sets STATUS.
run_cli() {
    STATUS=0
    "$CLI" "$@" </dev/null >/dev/null 2>"$ERRFILE" || STATUS=$?
}

# ---------------------------------------------------------------------------------------------
# Reference files: for each size a plain file of random bytes named f<size>, its crypted file
# per method, and a small "dummy" crypted file of the same name and password (the database
# check below decrypts it in place of the real one). Encryption has no salt, so the crypted
# file of the same plain file, name, method and password is always the same bytes: a crypted
# file left by a run that has the reference's hash decrypts correctly, and only others need a
# real decryption to be judged.

declare -A PLAIN_HASH CRY_HASH CRY_SIZE EARLIER_HASH EARLIER_CRY_HASH
DUMMY_HASH=""

# Makes REF/plain/NAME of SIZE random bytes and its crypted files; checks that they decrypt.
make_reference() {
    local name=$1 size=$2 m
    mkdir -p "$REF/plain" "$REF/dummy"
    head -c "$size" /dev/urandom >"$REF/plain/$name"
    PLAIN_HASH[$name]=$(hash_of "$REF/plain/$name")
    for m in "${METHODS[@]}"; do
        mkdir -p "$REF/$m"
        cp "$REF/plain/$name" "$REF/$m/$name"
        run_cli encrypt --keep -m "$m" --password-env QV_SWEEP_PW "$REF/$m/$name"
        ((STATUS == 0)) || die "cannot encrypt the reference file $name with $m: $(cat "$ERRFILE")"
        rm -f "$REF/$m/$name"
        CRY_HASH[$m/$name]=$(hash_of "$REF/$m/$name.cry")
        CRY_SIZE[$m/$name]=$(stat -c %s "$REF/$m/$name.cry")
        decrypts_to "$REF/$m/$name.cry" "${PLAIN_HASH[$name]}" ||
            die "the reference file $name does not come back from $m; nothing to sweep"
    done
    # The dummy: five known bytes under the same name, 3xDES, the sweep's password.
    printf 'dummy' >"$CHK/$name"
    run_cli encrypt --keep -m 3xdes --password-env QV_SWEEP_PW "$CHK/$name"
    ((STATUS == 0)) || die "cannot make the dummy of $name: $(cat "$ERRFILE")"
    mv "$CHK/$name.cry" "$REF/dummy/$name.cry"
    DUMMY_HASH=$(hash_of "$CHK/$name")
    rm -f "$CHK/$name"
}

# The files encrypted with --store before each sweep that uses the database.
make_earlier() {
    local e i=0
    mkdir -p "$REF/earlier"
    for e in "${EARLIER[@]}"; do
        i=$((i + 1))
        head -c $((i * i * 700)) /dev/urandom >"$REF/earlier/$e"
        EARLIER_HASH[$e]=$(hash_of "$REF/earlier/$e")
    done
}

# Whether the crypted file decrypts, with the sweep's password, to content of the given hash.
# Works on a copy in CHK: the file itself is not touched.
decrypts_to() {
    local cry=$1 want=$2 out
    rm -rf "$CHK/dec"
    mkdir -p "$CHK/dec"
    cp -- "$cry" "$CHK/dec/"
    run_cli decrypt --keep --password-env QV_SWEEP_PW "$CHK/dec/${cry##*/}"
    ((STATUS == 0)) || return 1
    rm -f -- "$CHK/dec/${cry##*/}"
    local outs=("$CHK/dec"/*)
    ((${#outs[@]} == 1)) || return 1
    out=${outs[0]}
    [[ $(hash_of "$out") == "$want" ]]
}

# Makes the two databases for the run folder DIR (keys are full paths, so each folder has its
# own): DB_EARLIER/<tag> with the earlier files' passwords only (for encrypt --store) and
# DB_ALL/<tag> with those and the passwords of every f<size> and the kill sweep's file (for
# decrypt --store). The earlier crypted files made here must equal those of other folders:
# their names are the same, so their bytes are.
declare -A DB_EARLIER DB_ALL
make_databases() {
    local tag=$1 dir=$2 e name
    local db=$REF/db-$tag.tmp
    rm -rf "$dir"
    mkdir -p "$dir"
    rm -f "$db"
    for e in "${EARLIER[@]}"; do
        cp "$REF/earlier/$e" "$dir/$e"
    done
    run_cli encrypt --keep -m 3xdes --password-env QV_SWEEP_PW --store --db "$db" \
        --master-password-env QV_SWEEP_MASTER "${EARLIER[@]/#/$dir/}"
    ((STATUS == 0)) || die "cannot set up the database for $dir: $(cat "$ERRFILE")"
    for e in "${EARLIER[@]}"; do
        if [[ -z ${EARLIER_CRY_HASH[$e]:-} ]]; then
            cp "$dir/$e.cry" "$REF/earlier/$e.cry"
            EARLIER_CRY_HASH[$e]=$(hash_of "$dir/$e.cry")
        fi
    done
    cp "$db" "$REF/db-$tag.earlier"
    DB_EARLIER[$tag]=$REF/db-$tag.earlier
    rm -rf "$dir"
    mkdir -p "$dir"
    for name in "${ALL_NAMES[@]}"; do
        printf 'x' >"$dir/$name"
    done
    run_cli encrypt --keep --password-env QV_SWEEP_PW --store --db "$db" \
        --master-password-env QV_SWEEP_MASTER "${ALL_NAMES[@]/#/$dir/}"
    ((STATUS == 0)) || die "cannot set up the database for $dir: $(cat "$ERRFILE")"
    mv "$db" "$REF/db-$tag.all"
    DB_ALL[$tag]=$REF/db-$tag.all
    rm -rf "$dir"
}

# ---------------------------------------------------------------------------------------------
# The case in hand. A sweep sets these, stages the folder, runs the program and calls
# check_case.

C_SWEEP=""      # full-disk, file-size, kill
C_LABEL=""      # the run in words, for the messages
C_DIR=""        # the folder of the file
C_NAME=""       # the plain file's name; the crypted one is C_NAME.cry
C_METHOD=""     # des, 3xdes, idea
C_DIRECTION=""  # encrypt, decrypt
C_STORE=0       # 1: with --store
C_DBDIR=""      # the database's folder (with --store)
C_DBTAG=""      # which databases of make_databases
C_ARGS=()       # the command's arguments
C_BATCH=0       # 1: the batch sweep's folder of many files, walked with -r
STAGE_FN=stage_case # stages the case (the kill sweep's loops call it)
CHECK_FN=check_case # checks the case after a run (the same)

# Empties the run folder and puts the source in it: the plain file to encrypt or its crypted
# file to decrypt, and with --store the earlier crypted files and a fresh database (with the
# file's own password when decrypting).
stage_case() {
    local e folders=("$C_DIR") sources old=()
    ((!C_STORE)) || folders+=("$C_DBDIR")
    # One rm for whatever the last run left (and the filler of the full-disk sweep).
    for e in "${folders[@]}"; do
        if [[ -d $e ]]; then
            old+=("$e"/*)
        else
            mkdir -p "$e"
        fi
    done
    [[ -z $FILLER || ! -e $FILLER ]] || old+=("$FILLER")
    ((${#old[@]} == 0)) || rm -rf -- "${old[@]}"
    if [[ $C_DIRECTION == encrypt ]]; then
        sources=("$REF/plain/$C_NAME")
    else
        sources=("$REF/$C_METHOD/$C_NAME.cry")
    fi
    if ((C_STORE)); then
        for e in "${EARLIER[@]}"; do
            sources+=("$REF/earlier/$e.cry")
        done
    fi
    cp -- "${sources[@]}" "$C_DIR/"
    C_ARGS=("$C_DIRECTION")
    [[ $C_DIRECTION == decrypt ]] || C_ARGS+=(-m "$C_METHOD")
    C_ARGS+=(--password-env QV_SWEEP_PW)
    if ((C_STORE)); then
        if [[ $C_DIRECTION == encrypt ]]; then
            cp "${DB_EARLIER[$C_DBTAG]}" "$C_DBDIR/$DB_NAME"
        else
            cp "${DB_ALL[$C_DBTAG]}" "$C_DBDIR/$DB_NAME"
        fi
        C_ARGS+=(--store --db "$C_DBDIR/$DB_NAME" --master-password-env QV_SWEEP_MASTER)
    fi
    if [[ $C_DIRECTION == encrypt ]]; then
        C_ARGS+=("$C_DIR/$C_NAME")
    else
        C_ARGS+=("$C_DIR/$C_NAME.cry")
    fi
}

# Sets C_WHAT to the command in short, for the labels: "encrypt", "decrypt --store".
set_what() {
    C_WHAT=$C_DIRECTION
    ((!C_STORE)) || C_WHAT+=" --store"
}

# The command of the case as text, for the messages.
case_command() {
    printf 'quorvane-cli %s' "${C_ARGS[*]}"
}

# ---------------------------------------------------------------------------------------------
# The checks

PROBLEMS=() # "kind|message" of the run just checked
NOTES=()    # the same for what is worth a count but is no failure
LISTING=""

problem() { PROBLEMS+=("$1|$2"); }
note() { NOTES+=("$1|$2"); }

# Sorts one name found in a folder of the run that should not be there.
stray_name() {
    local dir=$1 name=$2 killed=$3
    case $name in
    "~" | "~~~~~~~~.~~~")
        if ((killed)); then
            note wipe-left-killed "the wipe's \"$name\" is left in $dir (killed in the middle of the wipe)"
        else
            problem wipe-left "the wipe's \"$name\" is left in $dir"
        fi
        ;;
    .*.??????)
        problem temp-left "temporary file $name ($(stat -c %s -- "$dir/$name" 2>/dev/null || echo '?') bytes) is left in $dir"
        ;;
    *)
        problem stray-file "unexpected file $name ($(stat -c %s -- "$dir/$name" 2>/dev/null || echo '?') bytes) in $dir"
        ;;
    esac
}

# The run's folders as ls shows them, for the evidence of a failure.
folder_listing() {
    local folders=("$C_DIR") opts=-la
    ((!C_STORE)) || folders+=("$C_DBDIR")
    ((!C_BATCH)) || opts=-laR
    ls "$opts" --time-style=+%T "${folders[@]}" 2>&1 || true
}

# Checks how the program ended: 0 or 1, or 137 when the sweep killed it (killed=1).
check_status() {
    local status=$1 killed=$2
    case $status in
    0 | 1) ;;
    137) ((killed)) || problem exit-status "it was killed by SIGKILL, which the sweep did not send" ;;
    *)
        describe_status "$status"
        problem exit-status "exit status $DESCRIBED"
        ;;
    esac
}

# Checks what survives of one file under its final names in DIR: NAME, the plain file, against
# REF/plain/KEY, and NAME.cry against the crypted reference CRY_HASH[C_METHOD/KEY] (else by
# decrypting it). The hashes of the files there are in HASHES (hash_files). Sets F_PLAIN,
# F_CRY, F_PLAIN_PRESENT, F_PLAIN_OK, F_CRY_PRESENT and F_CRY_OK for check_claim.
check_copies() {
    local dir=$1 name=$2 key=$3
    F_PLAIN=$dir/$name
    F_CRY=$dir/$name.cry
    F_PLAIN_PRESENT=0 F_PLAIN_OK=0 F_CRY_PRESENT=0 F_CRY_OK=0
    local plain=$F_PLAIN cry=$F_CRY
    if [[ -e $plain ]]; then
        F_PLAIN_PRESENT=1
        if [[ ${HASHES[$plain]:-} == "${PLAIN_HASH[$key]}" ]]; then
            F_PLAIN_OK=1
        else
            problem partial-plain "$plain is there with other content than the original ($(stat -c %s -- "$plain") bytes, the original has $(stat -c %s -- "$REF/plain/$key"))"
        fi
    fi
    if [[ -e $cry ]]; then
        F_CRY_PRESENT=1
        if [[ ${HASHES[$cry]:-} == "${CRY_HASH[$C_METHOD/$key]}" ]]; then
            F_CRY_OK=1
        elif [[ -f $cry ]] && decrypts_to "$cry" "${PLAIN_HASH[$key]}"; then
            F_CRY_OK=1
        else
            problem bad-cry "$cry is there but does not decrypt to the original ($(stat -c %s -- "$cry") bytes, a complete one has ${CRY_SIZE[$C_METHOD/$key]})"
        fi
    fi
    ((F_PLAIN_OK || F_CRY_OK)) ||
        problem data-lost "no complete copy of $key is left: neither the plain file nor a crypted file that decrypts"
    return 0
}

# Checks the file of check_copies against what the exit status claims: with 0 the command is
# done with it, with 1 (a single file) it is as it was.
check_claim() {
    local status=$1
    if ((status == 0)); then
        if [[ $C_DIRECTION == encrypt ]]; then
            ((!F_PLAIN_PRESENT)) || problem claim "exit status 0, but the plain file $F_PLAIN was not wiped"
            ((F_CRY_OK)) || problem claim "exit status 0, but there is no good $F_CRY"
        else
            ((!F_CRY_PRESENT)) || problem claim "exit status 0, but the crypted file $F_CRY was not deleted"
            ((F_PLAIN_OK)) || problem claim "exit status 0, but there is no good $F_PLAIN"
        fi
    elif ((status == 1)); then
        if [[ $C_DIRECTION == encrypt ]]; then
            ((F_PLAIN_OK)) || problem claim "exit status 1 (failed), but the plain file is not as it was"
        else
            ((F_CRY_OK)) || problem claim "exit status 1 (failed), but the crypted file is not as it was"
        fi
    fi
}

# Checks the state after a run that ended with the status given. killed=1 when the sweep
# sent SIGKILL, which makes 137 an expected status. Fills PROBLEMS and NOTES. The folder is
# changed by the database check at the end (run folders are staged anew for every run).
check_case() {
    local status=$1 killed=$2
    PROBLEMS=()
    NOTES=()
    LISTING=""
    # Whether the kill landed: a run that ended first had the chance to clean up.
    ((status == 137)) || killed=0

    check_status "$status" "$killed"

    # Names in the folders that are not the file's, the earlier files' or the database's.
    local path name e expected
    for path in "$C_DIR"/*; do
        name=${path##*/}
        expected=0
        [[ $name == "$C_NAME" || $name == "$C_NAME.cry" ]] && expected=1
        if ((C_STORE)); then
            for e in "${EARLIER[@]}"; do
                [[ $name == "$e.cry" ]] && expected=1
            done
        fi
        ((expected)) || stray_name "$C_DIR" "$name" "$killed"
    done
    if ((C_STORE)); then
        for path in "$C_DBDIR"/*; do
            name=${path##*/}
            [[ $name == "$DB_NAME" ]] || stray_name "$C_DBDIR" "$name" "$killed"
        done
    fi

    # What survives under the final names.
    local files=()
    for path in "$C_DIR/$C_NAME" "$C_DIR/$C_NAME.cry"; do
        [[ ! -f $path ]] || files+=("$path")
    done
    if ((C_STORE)); then
        for e in "${EARLIER[@]}"; do
            [[ ! -f $C_DIR/$e.cry ]] || files+=("$C_DIR/$e.cry")
        done
    fi
    hash_files "${files[@]}"
    check_copies "$C_DIR" "$C_NAME" "$C_NAME"
    check_claim "$status"

    if ((C_STORE)); then
        # The database check changes the folder: what the run left is taken down first.
        LISTING=$(folder_listing)
        check_database "$F_PLAIN_OK" "$F_CRY_OK"
    fi
    return 0
}

# With --store: every earlier file's password must still be in the database, and the file in
# hand's while its crypted file is there. Checked on a copy of the database (a stored password
# serves once) by decrypting in place, where the paths are the keys, with --keep and a wrong
# password given: only a stored password opens a file. The file in hand's crypted file has
# already been shown to decrypt with the sweep's password; to spare a long decryption it is
# replaced by the dummy of the same name and password, which opens with exactly the stored
# passwords that open the real one. This changes the run folder, so it comes last.
check_database() {
    local plain_ok=$1 cry_ok=$2 e files=() hand=0 leftovers=() outputs=()
    local db=$C_DBDIR/$DB_NAME
    if [[ ! -f $db ]]; then
        problem db-unusable "the database $db is gone"
        return 0
    fi
    # The earlier crypted files were hashed with the file in hand (HASHES).
    for e in "${EARLIER[@]}"; do
        [[ ! -e $C_DIR/$e ]] || leftovers+=("$C_DIR/$e")
        if [[ ${HASHES[$C_DIR/$e.cry]:-} == "${EARLIER_CRY_HASH[$e]}" ]]; then
            files+=("$C_DIR/$e.cry")
        else
            problem earlier-damaged "$C_DIR/$e.cry, encrypted before the run, is gone or changed"
        fi
    done
    if ((cry_ok)); then
        hand=1
        [[ ! -e $C_DIR/$C_NAME ]] || leftovers+=("$C_DIR/$C_NAME")
        files+=("$C_DIR/$C_NAME.cry")
    fi
    ((${#files[@]} > 0)) || return 0
    ((${#leftovers[@]} == 0)) || rm -f -- "${leftovers[@]}"
    ((!hand)) || cp "$REF/dummy/$C_NAME.cry" "$C_DIR/$C_NAME.cry"
    cp "$db" "$CHK/$DB_NAME"
    run_cli decrypt --keep --store --db "$CHK/$DB_NAME" \
        --master-password-env QV_SWEEP_MASTER --password-env QV_SWEEP_WRONG "${files[@]}"
    if ((STATUS != 0 && STATUS != 1)); then
        problem db-unusable "the database $db cannot be read after the run: $(tr '\n' ' ' <"$ERRFILE")"
        return 0
    fi
    for e in "${files[@]}"; do
        [[ ! -f ${e%.cry} ]] || outputs+=("${e%.cry}")
    done
    hash_files "${outputs[@]}"
    for e in "${EARLIER[@]}"; do
        [[ -f $C_DIR/$e.cry ]] || continue
        [[ ${HASHES[$C_DIR/$e]:-} == "${EARLIER_HASH[$e]}" ]] ||
            problem entry-lost "the stored password of $C_DIR/$e, filed before the run, is gone from the database"
    done
    ((hand)) || return 0
    [[ ${HASHES[$C_DIR/$C_NAME]:-} != "$DUMMY_HASH" ]] || return 0
    if ((!plain_ok)); then
        problem entry-lost "$C_DIR/$C_NAME.cry is the only copy left, and its stored password is not in the database"
    fi
    # With a complete plain file beside the crypted one, a missing entry loses nothing:
    # decrypting, the entry leaves once the plain file is on disk and before the crypted file is
    # deleted; encrypting, the password is filed after the crypted file is written.
    return 0
}

# ---------------------------------------------------------------------------------------------
# Counting and reporting

declare -A RUNS FAILED_RUNS KIND_COUNT NOTE_COUNT STATUS_COUNT SWEEP_SECONDS SKIPPED
readonly SHOW_PER_KIND=5   # failures printed per sweep and kind; the log has them all
readonly SAVE_PER_KIND=3   # runs per sweep and kind whose evidence is saved

report_dir() {
    if [[ -z $REPORT_DIR ]]; then
        REPORT_DIR=$(mktemp -d "$SCRATCH_BASE/quorvane-fault-sweep-report.XXXXXX")
        {
            echo "quorvane-cli: $CLI"
            echo "started: $(date -Is)"
        } >"$REPORT_DIR/failures.log"
    fi
}

# Counts the run just checked, prints and logs its failures, saves the evidence of the first
# few of each kind.
record_case() {
    local status=$1 entry kind message key
    RUNS[$C_SWEEP]=$((${RUNS[$C_SWEEP]:-0} + 1))
    describe_status "$status"
    key="$C_SWEEP|$DESCRIBED"
    ((!VERBOSE)) || printf '  run [%s]: exit status %s, %d problems\n' "$C_LABEL" "$DESCRIBED" "${#PROBLEMS[@]}"
    STATUS_COUNT[$key]=$((${STATUS_COUNT[$key]:-0} + 1))
    for entry in "${NOTES[@]}"; do
        kind=${entry%%|*}
        NOTE_COUNT[$C_SWEEP|$kind]=$((${NOTE_COUNT[$C_SWEEP|$kind]:-0} + 1))
    done
    ((${#PROBLEMS[@]} > 0)) || return 0
    FAILED_RUNS[$C_SWEEP]=$((${FAILED_RUNS[$C_SWEEP]:-0} + 1))
    report_dir
    # Without the database check the folders are as the run left them.
    [[ -n $LISTING ]] || LISTING=$(folder_listing)
    local save=""
    for entry in "${PROBLEMS[@]}"; do
        kind=${entry%%|*}
        message=${entry#*|}
        key="$C_SWEEP|$kind"
        KIND_COUNT[$key]=$((${KIND_COUNT[$key]:-0} + 1))
        printf 'FAIL %s [%s] %s: %s\n' "$C_SWEEP" "$C_LABEL" "$kind" "$message" >>"$REPORT_DIR/failures.log"
        if ((KIND_COUNT[$key] <= SHOW_PER_KIND)); then
            printf '  FAIL [%s] %s: %s\n' "$C_LABEL" "$kind" "$message"
            ((KIND_COUNT[$key] == SHOW_PER_KIND)) &&
                printf '  (further %s failures of %s go to the log only)\n' "$kind" "$C_SWEEP"
        fi
        ((KIND_COUNT[$key] <= SAVE_PER_KIND)) && save+="$kind-${KIND_COUNT[$key]} "
    done
    if [[ -n $save ]]; then
        local dir
        dir=$REPORT_DIR/$C_SWEEP-${save%% *}
        mkdir -p "$dir"
        {
            echo "run: $C_LABEL"
            echo "command: $(case_command)"
            echo "exit status: $DESCRIBED"
            echo "also saved as: $save"
            echo
            printf '%s\n' "${PROBLEMS[@]}"
            echo
            echo "folders right after the run:"
            echo "$LISTING"
        } >"$dir/run.txt"
        cp "$RUN_ERR" "$dir/stderr.txt" 2>/dev/null || true
        # The database as the run left it (the check used a copy).
        if ((C_STORE)) && [[ -f $C_DBDIR/$DB_NAME ]]; then
            cp "$C_DBDIR/$DB_NAME" "$dir/"
        fi
    fi
    return 0
}

# Runs the staged case to its end (with the given prefix, e.g. prlimit), checks and records.
run_case() {
    local status=0
    # The program's messages go through a pipe, not into a file: under a file-size limit a
    # message written to a file would itself raise SIGXFSZ, which is no fault of the program.
    # The outer braces take the shell's own line about a death by a signal ("File size limit
    # exceeded"); the status tells it.
    local messages
    messages=$({ "$@" "$CLI" "${C_ARGS[@]}" </dev/null 2>&1 >/dev/null; } 2>/dev/null) || status=$?
    printf '%s\n' "$messages" >"$RUN_ERR"
    ((${#AFTER_RUN[@]} == 0)) || "${AFTER_RUN[@]}"
    check_case "$status" 0
    record_case "$status"
}

# ---------------------------------------------------------------------------------------------
# Points of a sweep

# Prints the methods to try a file of the given size with: all three, or with --quick one,
# a different one for each size (the sizes are tried in turn, so all three come up).
methods_for() {
    if ((QUICK)); then
        local i
        for i in "${!FILE_SIZES[@]}"; do
            if [[ ${FILE_SIZES[i]} == "$1" ]]; then
                echo "${METHODS[i % ${#METHODS[@]}]}"
                return 0
            fi
        done
    fi
    echo "${METHODS[@]}"
}

# Calls fn for every case of the disk sweeps: each file size, each method it is tried with, both
# directions, and --store for 3xdes at the STORE_SIZES (the database runs take one method: the
# password is what is stored). Sets C_SIZE, C_NAME, C_METHOD, C_DIRECTION, C_STORE and C_WHAT.
for_each_case() { # fn
    local size m dir store
    for size in "${FILE_SIZES[@]}"; do
        for m in $(methods_for "$size"); do
            for dir in encrypt decrypt; do
                for store in 0 1; do
                    if ((store)) && ! [[ $m == 3xdes && " ${STORE_SIZES[*]} " == *" $size "* ]]; then
                        continue
                    fi
                    C_SIZE=$size C_NAME=f$size C_METHOD=$m C_DIRECTION=$dir C_STORE=$store
                    set_what
                    "$1"
                done
            done
        done
    done
}

# Sets POINTS to the sizes to try, sorted, from 0 to limit: every FINE_STEP bytes within NEAR
# of 0 and of each size given, every COARSE_STEP bytes elsewhere, and each size given, one
# below and one above. unit=4096 keeps only whole pages (a tmpfs counts its room in pages).
sweep_points() {
    local unit=$1 limit=$2 n t near
    shift 2
    local -A seen=()
    for ((n = 0; n <= limit; n += FINE_STEP)); do
        near=0
        ((n > NEAR)) || near=1
        for t in "$@"; do
            ((n < t - NEAR || n > t + NEAR)) || near=1
        done
        ((!near && n % COARSE_STEP != 0)) || seen[$n]=1
    done
    for t in "$@"; do
        for n in $((t - 1)) "$t" $((t + 1)); do
            ((n < 0 || n % unit != 0)) || seen[$n]=1
        done
    done
    POINTS=()
    while read -r n; do
        POINTS+=("$n")
    done < <(printf '%s\n' "${!seen[@]}" | sort -n)
}

# ---------------------------------------------------------------------------------------------
# Sweep 1: a full disk. A tmpfs of 4 MiB; before each run a filler file takes all of its space
# but N bytes, for N over the whole range where the command needs room.

# Makes the tmpfs's free space exactly want bytes (a multiple of its 4 KiB pages); false when
# it cannot.
fill_leaving() {
    local want=$1 blocks bsize avail
    read -r blocks bsize < <(stat -f -c '%a %S' "$MNT")
    avail=$((blocks * bsize))
    ((avail >= want)) || return 1
    if ((avail > want)); then
        fallocate -l $((avail - want)) "$FILLER" 2>/dev/null ||
            head -c $((avail - want)) /dev/zero >"$FILLER" 2>/dev/null || true
    fi
    read -r blocks bsize < <(stat -f -c '%a %S' "$MNT")
    ((blocks * bsize == want))
}

# One case of the full-disk sweep, at every free space around what its output needs.
full_disk_case() {
    local need n
    if [[ $C_DIRECTION == encrypt ]]; then need=${CRY_SIZE[$C_METHOD/$C_NAME]}; else need=$C_SIZE; fi
    # The pages the output needs, and one page more and less, always.
    local pages=$(((need + 4095) / 4096 * 4096))
    sweep_points 4096 $((need + NEAR)) "$pages" $((pages + 4096)) \
        $((pages >= 4096 ? pages - 4096 : 0))
    for n in "${POINTS[@]}"; do
        stage_case
        if ! fill_leaving "$n"; then
            missed=$((missed + 1))
            continue
        fi
        C_LABEL="$C_WHAT -m $C_METHOD $C_NAME free=$n"
        # The database check decrypts in place and needs a little room.
        AFTER_RUN=()
        ((!C_STORE)) || AFTER_RUN=(rm -f "$FILLER")
        run_case
    done
}

sweep_full_disk() {
    if ! mkdir -p "$MNT" || ! mount -t tmpfs -o size=4m,mode=0755 quorvane-sweep "$MNT" 2>/dev/null; then
        echo "full-disk: skipped: mounting a tmpfs needs root (or unshare --map-root-user --mount)"
        SKIPPED[full-disk]=1
        return 0
    fi
    MOUNTED=1
    FILLER=$MNT/filler
    C_DIR=$MNT/work
    C_DBDIR=$MNT/db
    C_DBTAG=disk
    make_databases disk "$C_DIR"

    local missed=0
    for_each_case full_disk_case
    ((missed == 0)) || echo "full-disk: $missed points could not be set up (the disk could not be filled to them)"
    AFTER_RUN=()
    FILLER=""
    rm -rf "${MNT:?}"/*
    umount "$MNT"
    MOUNTED=0
}

# ---------------------------------------------------------------------------------------------
# Sweep 2: a file-size limit. The same commands under prlimit --fsize=N in an ordinary folder,
# N stepping over the sizes of the files the command writes.

# One case of the file-size sweep, at every limit around the header, the plain and the crypted
# size and the database.
file_size_case() {
    local cry=${CRY_SIZE[$C_METHOD/$C_NAME]} thresholds limit n
    thresholds=(35 "$C_SIZE" "$cry")
    ((!C_STORE)) || thresholds+=("$db_size")
    limit=$((cry > db_size ? cry : db_size))
    sweep_points 1 $((limit + 8192)) "${thresholds[@]}"
    for n in "${POINTS[@]}"; do
        stage_case
        C_LABEL="$C_WHAT -m $C_METHOD $C_NAME fsize=$n"
        run_case prlimit --fsize="$n" --
    done
}

sweep_file_size() {
    local base=$SCRATCH/fsize
    C_DIR=$base/work
    C_DBDIR=$base/db
    C_DBTAG=fsize
    make_databases fsize "$C_DIR"
    local db_size
    db_size=$(stat -c %s "${DB_ALL[fsize]}")

    for_each_case file_size_case
    rm -rf "$base"
}

# ---------------------------------------------------------------------------------------------
# Sweep 3: kills. A large file; each command is timed, then started again and again and killed
# with SIGKILL after delays spread over its whole run, and at the moments the folder's listing
# changes (a file appears, is renamed or goes).

# The names in the run folders, as one text; no process is started, so the loop is tight.
listing_now() {
    local names=("$C_DIR"/*)
    ((!C_STORE)) || names+=("$C_DBDIR"/*)
    LIST="${names[*]}"
}

# Whether the process has ended (a zombie counts as ended).
process_ended() {
    local stat
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 0
    stat=${stat##*) }
    [[ ${stat:0:1} == Z || ${stat:0:1} == X ]]
}

# Starts the staged command in the background (sets CLI_PID).
start_cli() {
    "$CLI" "${C_ARGS[@]}" </dev/null >/dev/null 2>"$RUN_ERR" &
    CLI_PID=$!
}

# Waits for the command started (sets STATUS).
wait_cli() {
    STATUS=0
    { wait "$CLI_PID"; } 2>/dev/null || STATUS=$?
    CLI_PID=""
}

# Runs the staged command to its end, checks and records it; sets DURATION to how long it
# took, in microseconds.
time_run() {
    local t0
    clock
    t0=$NOW
    start_cli
    wait_cli
    clock
    DURATION=$((NOW - t0))
    local status=$STATUS # the checks run the program too
    "$CHECK_FN" "$status" 0
    record_case "$status"
}

# Times the case (STAGE_FN stages it) and sets LENGTH to the shorter of two runs, in
# microseconds: on a busy machine the points past a run's end are wasted.
time_case() {
    local what=$1 k
    LENGTH=0
    for k in 1 2; do
        "$STAGE_FN"
        C_LABEL="$what (timing run $k)"
        time_run
        ((LENGTH > 0 && LENGTH < DURATION)) || LENGTH=$DURATION
    done
    echo "  $what: a run takes $(as_seconds "$LENGTH") s"
}

# Kills the case at the given number of delays spread over a run of the given length, and at
# two more a little past its end, each time staged anew, checked and recorded. The delay counts
# from before the process is started, as the timing does.
kill_at_delays() {
    local what=$1 length=$2 points=$3 k delay_us status t0 rest
    for ((k = 1; k <= points + 2; k++)); do
        delay_us=$((length * k / (points + 1)))
        "$STAGE_FN"
        C_LABEL="$what kill@$(as_seconds "$delay_us")s"
        clock
        t0=$NOW
        start_cli
        clock
        rest=$((delay_us - (NOW - t0)))
        ((rest <= 0)) || pause_us "$rest"
        kill -KILL "$CLI_PID" 2>/dev/null || true
        wait_cli
        status=$STATUS # the checks run the program too
        "$CHECK_FN" "$status" 1
        record_case "$status"
    done
}

kill_sweep_one() {
    local dir=$1 store=$2 k status
    C_NAME=$KILL_NAME C_METHOD=$KILL_METHOD C_DIRECTION=$dir C_STORE=$store
    set_what
    local what=$C_WHAT
    time_case "$what"
    local length=$LENGTH

    # Kills at delays spread over the run, and a little past its end.
    kill_at_delays "$what" "$length" "$KILL_POINTS"

    # Kills the moment the folders' listing changes for the k-th time.
    local changes before deadline t
    for ((k = 1; k <= KILL_CHANGES; k++)); do
        stage_case
        C_LABEL="$what kill@change$k"
        listing_now
        before=$LIST
        changes=0
        clock
        deadline=$((NOW + 3 * length + 2000000))
        start_cli
        while ! process_ended "$CLI_PID"; do
            listing_now
            if [[ $LIST != "$before" ]]; then
                before=$LIST
                changes=$((changes + 1))
                if ((changes == k)); then
                    kill -KILL "$CLI_PID" 2>/dev/null || true
                    break
                fi
            fi
            t=${EPOCHREALTIME/[.,]/} # no subshell: the loop must stay tight
            ((10#$t < deadline)) || break
        done
        wait_cli
        status=$STATUS
        ((!VERBOSE)) || echo "  changes seen: $changes"
        check_case "$status" 1
        record_case "$status"
        # A run that ended before its k-th change has shown every change there is.
        ((status == 137)) || break
    done
}

sweep_kill() {
    local base=$SCRATCH/kill
    C_DIR=$base/work
    C_DBDIR=$base/db
    C_DBTAG="kill"
    make_databases kill "$C_DIR"
    kill_sweep_one encrypt 0
    kill_sweep_one decrypt 0
    kill_sweep_one encrypt 1
    kill_sweep_one decrypt 1
    rm -rf "$base"
}

# ---------------------------------------------------------------------------------------------
# Sweep 4: kills of a batch. A folder of BATCH_COUNT files in the subfolders BATCH_DIRS,
# encrypted and decrypted with -r and BATCH_JOBS files at once, killed with SIGKILL at delays
# spread over the run as in the kill sweep. The program writes a batch of outputs, flushes them
# together and only then wipes the batch's plain files (or deletes its crypted files), so after
# any kill every file of the folder must still have one complete copy.

BATCH_FILES=() # the keys of the folder's files: batch/<dir>/f<nn>
declare -A BATCH_DIR_SET

# Makes the folder's reference files, plain under REF/plain/batch and crypted under
# REF/BATCH_METHOD/batch, and checks that the crypted tree decrypts to the plain one.
make_batch_reference() {
    local d i size key span=$(((BATCH_MAX_KIB - BATCH_MIN_KIB) * 1024 + 1))
    local plain=$REF/plain/batch cry=$REF/$BATCH_METHOD/batch
    BATCH_FILES=()
    for d in "${BATCH_DIRS[@]}"; do
        mkdir -p "$plain/$d"
        BATCH_DIR_SET[$d]=1
    done
    for ((i = 0; i < BATCH_COUNT; i++)); do
        d=${BATCH_DIRS[i % ${#BATCH_DIRS[@]}]}
        printf -v key 'batch/%s/f%02d' "$d" "$i"
        size=$((BATCH_MIN_KIB * 1024 + (RANDOM * 32768 + RANDOM) % span))
        head -c "$size" /dev/urandom >"$REF/plain/$key"
        BATCH_FILES+=("$key")
    done
    hash_files "${BATCH_FILES[@]/#/$REF/plain/}"
    for key in "${BATCH_FILES[@]}"; do
        PLAIN_HASH[$key]=${HASHES[$REF/plain/$key]}
    done

    rm -rf "$cry"
    mkdir -p "${cry%/*}"
    cp -r "$plain" "$cry"
    run_cli encrypt -r --keep -m "$BATCH_METHOD" --password-env QV_SWEEP_PW "$cry"
    ((STATUS == 0)) || die "cannot encrypt the batch's reference folder: $(cat "$ERRFILE")"
    rm -f -- "${BATCH_FILES[@]/#/$REF/$BATCH_METHOD/}"
    local crys=("${BATCH_FILES[@]/#/$REF/$BATCH_METHOD/}")
    hash_files "${crys[@]/%/.cry}"
    for key in "${BATCH_FILES[@]}"; do
        [[ -n ${HASHES[$REF/$BATCH_METHOD/$key.cry]:-} ]] ||
            die "encrypting the batch's reference folder made no $key.cry"
        CRY_HASH[$BATCH_METHOD/$key]=${HASHES[$REF/$BATCH_METHOD/$key.cry]}
        CRY_SIZE[$BATCH_METHOD/$key]=$(stat -c %s "$REF/$BATCH_METHOD/$key.cry")
    done

    # The crypted tree must come back whole: decrypted with -r in a copy.
    rm -rf "$CHK/batch"
    cp -r "$cry" "$CHK/batch"
    run_cli decrypt -r --password-env QV_SWEEP_PW "$CHK/batch"
    ((STATUS == 0)) || die "cannot decrypt the batch's reference folder: $(cat "$ERRFILE")"
    hash_files "${BATCH_FILES[@]/#batch/$CHK/batch}"
    for key in "${BATCH_FILES[@]}"; do
        [[ ${HASHES[$CHK/$key]:-} == "${PLAIN_HASH[$key]}" ]] ||
            die "the batch's reference file $key does not come back from $BATCH_METHOD; nothing to sweep"
    done
    rm -rf "$CHK/batch"
}

# Puts the folder in its starting state for the direction in hand: the plain tree to encrypt,
# the crypted tree to decrypt.
stage_batch() {
    rm -rf "$C_DIR"
    if [[ $C_DIRECTION == encrypt ]]; then
        cp -r "$REF/plain/batch" "$C_DIR"
    else
        cp -r "$REF/$C_METHOD/batch" "$C_DIR"
    fi
    C_ARGS=("$C_DIRECTION" -r -j "$BATCH_JOBS")
    [[ $C_DIRECTION == decrypt ]] || C_ARGS+=(-m "$C_METHOD")
    C_ARGS+=(--password-env QV_SWEEP_PW "$C_DIR")
}

# Checks the folder after a run, as check_case checks one file, for every file of it: no
# temporary or unexpected file in any of its folders, one complete copy of each file, and with
# exit status 0 every file done. With status 1 some files may be done and others not, so only
# the copies are checked.
check_batch() {
    local status=$1 killed=$2
    PROBLEMS=()
    NOTES=()
    LISTING=""
    ((status == 137)) || killed=0
    check_status "$status" "$killed"

    local path name d key files=()
    for path in "$C_DIR"/*; do
        name=${path##*/}
        [[ -d $path && -n ${BATCH_DIR_SET[$name]:-} ]] || stray_name "$C_DIR" "$name" "$killed"
    done
    for d in "${BATCH_DIRS[@]}"; do
        for path in "$C_DIR/$d"/*; do
            name=${path##*/}
            key=batch/$d/${name%.cry}
            if [[ -f $path && ! -L $path && -n ${PLAIN_HASH[$key]:-} ]]; then
                files+=("$path")
            else
                stray_name "$C_DIR/$d" "$name" "$killed"
            fi
        done
    done

    hash_files "${files[@]}"
    for key in "${BATCH_FILES[@]}"; do
        d=${key#batch/}
        d=${d%/*}
        check_copies "$C_DIR/$d" "${key##*/}" "$key"
        ((status != 0)) || check_claim "$status"
    done
    return 0
}

sweep_batch() {
    local base=$SCRATCH/batch dir
    C_DIR=$base/work
    C_NAME=batch C_METHOD=$BATCH_METHOD C_STORE=0 C_BATCH=1
    STAGE_FN=stage_batch CHECK_FN=check_batch
    mkdir -p "$base"
    for dir in encrypt decrypt; do
        C_DIRECTION=$dir
        set_what
        C_WHAT+=" -r -j $BATCH_JOBS"
        time_case "$C_WHAT"
        kill_at_delays "$C_WHAT" "$LENGTH" "$BATCH_POINTS"
    done
    STAGE_FN=stage_case CHECK_FN=check_case C_BATCH=0
    rm -rf "$base"
}

# ---------------------------------------------------------------------------------------------
# Main

echo "quorvane-cli: $CLI"
echo "scratch: $SCRATCH$( ((QUICK)) && echo ' (quick)')"
"$CLI" --help >/dev/null 2>&1 || die "$CLI --help fails"

# Every name the databases know: the sweeps' files.
ALL_NAMES=()
for size in "${FILE_SIZES[@]}"; do
    ALL_NAMES+=("f$size")
done
ALL_NAMES+=("$KILL_NAME")

make_earlier
for sweep in "${SWEEPS[@]}"; do
    case $sweep in
    full-disk | file-size)
        for size in "${FILE_SIZES[@]}"; do
            [[ -n ${PLAIN_HASH[f$size]:-} ]] || make_reference "f$size" "$size"
        done
        ;;
    kill) [[ -n ${PLAIN_HASH[$KILL_NAME]:-} ]] || make_reference "$KILL_NAME" "$KILL_SIZE" ;;
    batch) ((${#BATCH_FILES[@]} > 0)) || make_batch_reference ;;
    esac
done

for sweep in "${SWEEPS[@]}"; do
    echo "== $sweep"
    C_SWEEP=$sweep
    clock
    start=$NOW
    "sweep_${sweep//-/_}"
    clock
    SWEEP_SECONDS[$sweep]=$(((NOW - start + 500000) / 1000000))
    # Per sweep: runs, failed runs by kind, exit statuses and time.
    kinds=""
    for key in "${!KIND_COUNT[@]}"; do
        [[ $key == "$sweep|"* ]] && kinds+=" ${key#*|}=${KIND_COUNT[$key]}"
    done
    statuses=""
    for key in "${!STATUS_COUNT[@]}"; do
        [[ $key == "$sweep|"* ]] && statuses+=" [${key#*|}]=${STATUS_COUNT[$key]}"
    done
    notes=""
    for key in "${!NOTE_COUNT[@]}"; do
        [[ $key == "$sweep|"* ]] && notes+=" ${key#*|}=${NOTE_COUNT[$key]}"
    done
    [[ -z ${SKIPPED[$sweep]:-} ]] || continue
    echo "$sweep: ${RUNS[$sweep]:-0} runs, ${FAILED_RUNS[$sweep]:-0} failed, ${SWEEP_SECONDS[$sweep]} s"
    echo "  exit statuses:$statuses"
    echo "  failures by kind:${kinds:- none}"
    [[ -z $notes ]] || echo "  noted, not failures:$notes"
done

echo
echo "== summary"
printf '%-10s %6s %7s %8s  %s\n' sweep runs failed seconds "failures by kind"
total_failed=0
for sweep in "${SWEEPS[@]}"; do
    if [[ -n ${SKIPPED[$sweep]:-} ]]; then
        printf '%-10s %6s %7s %8s  %s\n' "$sweep" - - - skipped
        continue
    fi
    kinds=""
    for key in "${!KIND_COUNT[@]}"; do
        [[ $key == "$sweep|"* ]] && kinds+="${key#*|}=${KIND_COUNT[$key]} "
    done
    printf '%-10s %6d %7d %8d  %s\n' "$sweep" "${RUNS[$sweep]:-0}" "${FAILED_RUNS[$sweep]:-0}" \
        "${SWEEP_SECONDS[$sweep]}" "${kinds:-none}"
    total_failed=$((total_failed + ${FAILED_RUNS[$sweep]:-0}))
done
if ((total_failed > 0)); then
    echo
    echo "$total_failed runs failed; the log and the first runs of each kind: $REPORT_DIR"
    exit 1
fi
echo "no failures"
