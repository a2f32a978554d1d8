# bash completion for quorvane-cli                          -*- shell-script -*-
#
# Completes the command, the options of each command, the values of the options that take one
# and the files to work on: plain files to encrypt, crypted ".cry" files to decrypt, test or
# inspect, and folders everywhere (to walk into, or to name with --recursive).
# It reads COMP_WORDS itself instead of calling bash-completion's helpers, so it works the same
# whether or not bash-completion is loaded, and whether or not "=" breaks words.

# Prints its argument with the shell quoting of a word being typed taken away: a leading ' or "
# (the closing one may not be typed yet) or backslashes before single characters.
_quorvane_cli_dequote() {
    local word=$1 plain="" i
    case $word in
    \'*)
        word=${word#\'}
        printf '%s' "${word%\'}"
        return
        ;;
    \"*)
        word=${word#\"}
        printf '%s' "${word%\"}"
        return
        ;;
    esac
    for ((i = 0; i < ${#word}; i++)); do
        if [[ ${word:i:1} == \\ ]] && ((i + 1 < ${#word})); then
            i=$((i + 1))
        fi
        plain+=${word:i:1}
    done
    printf '%s' "$plain"
}

# Adds to COMPREPLY each of the words after the first two arguments that begins with the second
# argument, each preceded by the first.
_quorvane_cli_offer() {
    local prefix=$1 typed=$2 word
    shift 2
    for word; do
        if [[ $word == "$typed"* ]]; then
            COMPREPLY+=("$prefix$word")
        fi
    done
    return 0
}

# Offers the files and folders whose names begin with the typed text. The kind is "plain" (not
# ending in .cry), "crypted" (ending in .cry in any letter case; any file when none does) or
# "any". Folders are always offered, so that the user can walk into them.
_quorvane_cli_files() {
    local kind=$1 prefix=$2 typed name path
    typed=$(_quorvane_cli_dequote "$3")
    local -a names=() folders=() wanted=() others=()
    mapfile -t names < <(compgen -f -- "$typed")
    for name in "${names[@]}"; do
        # compgen keeps a leading "~/" as typed; the tests below need the real path.
        path=$name
        # shellcheck disable=SC2088 # the literal "~" that compgen leaves
        if [[ $path == "~" || $path == "~/"* ]]; then
            path=$HOME${path#\~}
        fi
        if [[ -d $path ]]; then
            folders+=("$name")
        elif [[ $kind == any ]]; then
            wanted+=("$name")
        elif [[ ${name##*/} == ?*.[cC][rR][yY] ]]; then
            if [[ $kind == crypted ]]; then wanted+=("$name"); else others+=("$name"); fi
        else
            if [[ $kind == plain ]]; then wanted+=("$name"); else others+=("$name"); fi
        fi
    done
    if [[ $kind == crypted ]] && ((${#folders[@]} + ${#wanted[@]} == 0)); then
        wanted=("${others[@]}")
    fi
    for name in "${folders[@]}" "${wanted[@]}"; do
        COMPREPLY+=("$prefix$name")
    done
    # Lets readline quote the names and mark folders with "/"; only possible while bash runs a
    # completion, not when the function is called directly.
    compopt -o filenames 2>/dev/null
    return 0
}

_quorvane_cli() {
    local -a words=("${COMP_WORDS[@]}")
    local cword=$COMP_CWORD
    local cur=${words[cword]-}
    COMPREPLY=()

    if ((cword == 1)); then
        if [[ $cur == -* ]]; then
            _quorvane_cli_offer "" "$cur" --help
        else
            _quorvane_cli_offer "" "$cur" encrypt decrypt test info
        fi
        return 0
    fi

    local -a options
    local files
    # The options of test; encrypt and decrypt take them too, with those that keep or replace
    # files and those of the database of stored passwords.
    local -a check=(--recursive --jobs --verbose --password-file --password-fd --password-env --help)
    local -a run=(--keep --force "${check[@]}" --store --db --master-password-file
        --master-password-fd --master-password-env)
    case ${words[1]} in
    encrypt)
        options=(--method "${run[@]}")
        files=plain
        ;;
    decrypt)
        options=("${run[@]}")
        files=crypted
        ;;
    test)
        options=("${check[@]}")
        files=crypted
        ;;
    info)
        options=(--help)
        files=crypted
        ;;
    *)
        return 0 # --help, or a command that does not exist
        ;;
    esac

    # The words before the cursor: which options are given, whether "--" has ended the options,
    # and whether the cursor is on an option's value. A value follows its option as the next
    # word, or, where "=" breaks words, as "=" and the word after it.
    local given=" " valueOf="" prefix="" value=$cur onlyFiles="" i=2 j word name
    while ((i < cword)); do
        word=${words[i]}
        name=""
        case $word in
        --)
            onlyFiles=1
            break
            ;;
        --*=*) given+="${word%%=*} " ;;
        --*) name=$word ;;
        -m) name=--method ;;
        -m*) given+="--method " ;;
        -j) name=--jobs ;;
        -j*) given+="--jobs " ;;
        -[kfrv]*)
            # -k, -f, -r and -v, alone or together
            case $word in *k*) given+="--keep " ;; esac
            case $word in *f*) given+="--force " ;; esac
            case $word in *r*) given+="--recursive " ;; esac
            case $word in *v*) given+="--verbose " ;; esac
            ;;
        esac
        if [[ -n $name ]]; then
            given+="$name "
            case $name in
            --method | --jobs | --db | --password-* | --master-password-*)
                j=$((i + 1))
                if [[ ${words[j]-} == "=" ]]; then
                    j=$((j + 1))
                fi
                if ((j >= cword)); then
                    valueOf=$name
                    if ((j > cword)); then
                        value="" # the cursor is on the "=" itself
                    fi
                    break
                fi
                i=$j
                ;;
            esac
        fi
        i=$((i + 1))
    done
    if [[ -z $valueOf && -z $onlyFiles ]]; then
        # "--name=value" in one word, where "=" does not break words, and "-mvalue".
        if [[ $cur == --*=* ]]; then
            valueOf=${cur%%=*}
            prefix="$valueOf="
            value=${cur#*=}
        elif [[ $cur == -m?* && $cur != --* ]]; then
            valueOf=--method
            prefix=-m
            value=${cur#-m}
        fi
    fi

    if [[ -n $valueOf ]]; then
        case $valueOf in
        --method)
            _quorvane_cli_offer "$prefix" "$value" des 3xdes idea
            ;;
        --password-file | --master-password-file | --db)
            _quorvane_cli_files any "$prefix" "$value"
            ;;
        --password-env | --master-password-env)
            local variable
            while IFS= read -r variable; do
                COMPREPLY+=("$prefix$variable")
            done < <(compgen -e -- "$value")
            ;;
        esac
        # A number, of a file descriptor or of files at once, is the user's to type: nothing is
        # offered.
        return 0
    fi

    if [[ -z $onlyFiles && $cur == -* ]]; then
        local option
        for option in "${options[@]}"; do
            # Each option once; the password, and the master password, from one source only.
            if [[ $given == *" $option "* ||
                ($option == --password-* && $given == *" --password-"*) ||
                ($option == --master-password-* && $given == *" --master-password-"*) ]]; then
                continue
            fi
            _quorvane_cli_offer "" "$cur" "$option"
        done
        return 0
    fi
    _quorvane_cli_files "$files" "" "$cur"
}

complete -F _quorvane_cli quorvane-cli
