# fish completion for quorvane-cli: the command, the options of each command, the values of the
# options that take one, plain files to encrypt and crypted ".cry" files to decrypt, test or
# inspect; folders are offered with them (to walk into, or to name with --recursive).

function __quorvane_cli_command
    # The command is the first argument, and only there.
    set -l words (commandline -opc)
    if test (count $words) -ge 2
        echo $words[2]
    end
end

function __quorvane_cli_needs_command
    test (count (commandline -opc)) -eq 1
end

function __quorvane_cli_is
    contains -- (__quorvane_cli_command) $argv
end

# The files and folders that begin with the word being typed: "plain" ones not ending in .cry,
# "crypted" ones ending in .cry in any letter case (any file when none does). fish's own file
# completion for a command it knows nothing of finds them, with its handling of quotes and "~".
function __quorvane_cli_files
    set -l kind $argv[1]
    set -l wanted
    set -l others
    for entry in (complete -C "__quorvane_cli_files_of "(commandline -ct))
        # An entry is a name, possibly followed by a tab and a description.
        set -l name (string split -f1 \t -- $entry)
        if string match -q -- '*/' $name
            set -a wanted $name
        else if string match -qi -- '?*.cry' (string replace -r '.*/' '' -- $name)
            if test $kind = crypted
                set -a wanted $name
            else
                set -a others $name
            end
        else if test $kind = plain
            set -a wanted $name
        else
            set -a others $name
        end
    end
    if test $kind = crypted; and test (count $wanted) -eq 0
        set wanted $others
    end
    printf '%s\n' $wanted
end

complete -c quorvane-cli -f
complete -c quorvane-cli -n __quorvane_cli_needs_command -a encrypt -d 'Write FILE.cry next to each FILE, then wipe FILE'
complete -c quorvane-cli -n __quorvane_cli_needs_command -a decrypt -d 'Write the plain file next to each FILE.cry, then delete FILE.cry'
complete -c quorvane-cli -n __quorvane_cli_needs_command -a test -d 'Check that the password opens crypted files, writing nothing'
complete -c quorvane-cli -n __quorvane_cli_needs_command -a info -d 'Show method, plain size and stored name of crypted files'
complete -c quorvane-cli -n __quorvane_cli_needs_command -s h -l help -d 'Show the usage text'

complete -c quorvane-cli -n '__quorvane_cli_is encrypt' -a '(__quorvane_cli_files plain)'
complete -c quorvane-cli -n '__quorvane_cli_is decrypt test info' -a '(__quorvane_cli_files crypted)'
complete -c quorvane-cli -n '__quorvane_cli_is encrypt decrypt test info' -s h -l help -d 'Show the usage text'

complete -c quorvane-cli -n '__quorvane_cli_is encrypt' -s m -l method -x -a 'des 3xdes idea' -d 'The cipher'

# The options of test, which encrypt and decrypt take too. The number of files at once is the
# user's to type.
set -l check '__quorvane_cli_is encrypt decrypt test'
complete -c quorvane-cli -n $check -s r -l recursive -d 'Also take folders, with everything below them'
complete -c quorvane-cli -n $check -s j -l jobs -x -d 'Work on N files at once'
complete -c quorvane-cli -n $check -s v -l verbose -d 'Name every file written'
complete -c quorvane-cli -n $check -l password-file -r -F -d 'Read the password from a file'
complete -c quorvane-cli -n $check -l password-fd -x -d 'Read the password from a file descriptor'
complete -c quorvane-cli -n $check -l password-env -x -a '(set -xn)' -d 'Take the password from an environment variable'

# The options that keep or replace files, and those of the database of stored passwords:
# encrypt and decrypt only.
set -l run '__quorvane_cli_is encrypt decrypt'
complete -c quorvane-cli -n $run -s k -l keep -d 'Keep the source file'
complete -c quorvane-cli -n $run -s f -l force -d 'Replace an existing output file'
complete -c quorvane-cli -n $run -l store -d 'Use the database of stored passwords'
complete -c quorvane-cli -n $run -l db -r -F -d 'The database of stored passwords'
complete -c quorvane-cli -n $run -l master-password-file -r -F -d 'Read the master password from a file'
complete -c quorvane-cli -n $run -l master-password-fd -x -d 'Read the master password from a file descriptor'
complete -c quorvane-cli -n $run -l master-password-env -x -a '(set -xn)' -d 'Take the master password from an environment variable'
