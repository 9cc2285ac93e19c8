#!/usr/bin/env bash
# The documentation that installs beside the programs: the man pages pass mandoc's lint, every
# option and subcommand that `zel ... --help` names is documented in zel(1) and offered by the bash
# completion (which also completes a few words for real), and the desktop entry is valid.
# Usage: docs_test.sh ZEL MAN_DIR SOURCE_DIR
set -euo pipefail
zel=$1 man=$2 source=$3
status=0
complain() {
    echo "FAIL: $*" >&2
    status=1
}

# scdoc opens every paragraph with .PP, also where one is already open; mandoc notes each of those.
for page in "$man"/zel.1 "$man"/zelupdate.1; do
    lint=$(mandoc -T lint -W warning "$page" 2>&1 | grep -v 'WARNING: skipping paragraph macro' || true)
    [ -z "$lint" ] || complain "mandoc on $page:"$'\n'"$lint"
done

help=$("$zel" --help)
for command in db scan archive system update; do
    help+=$'\n'$("$zel" "$command" --help)
done
mapfile -t options < <(grep -oE '(^|[^[:alnum:]-])(-[[:alpha:]]|--[[:alpha:]][[:alpha:]-]*)' <<<"$help" |
                       sed 's/^[^-]*//' | sort -u)
[ ${#options[@]} -gt 20 ] || complain "only ${#options[@]} options found in the help texts"
page_source=$(cat "$source/docs/man/zel.1.scd")
completion=$source/packaging/bash-completion/zel
completion_words=" $(tr -cs '[:alnum:]-' ' ' <"$completion") "
for word in "${options[@]}" add generate remove show list extract info; do
    [[ $word != -* || $page_source == *"*$word*"* ]] || complain "zel(1) does not document $word"
    [[ $completion_words == *" $word "* ]] || complain "the completion does not offer $word"
done

completes() { # completes WORD... EXPECTED: what the completion offers for the last WORD
    local expected=${*: -1} got
    got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _zel; echo "${COMPREPLY[*]}"' \
        - "$completion" "${@:1:$#-1}")
    [[ $got == "$expected" ]] || complain "completing '${*:1:$#-1}' offered '$got', not '$expected'"
}
completes zel sc scan
completes zel db --db x.tdb g generate
completes zel scan --mode a anywhere
completes zel archive list --j --json

desktop-file-validate "$source/packaging/desktop/zelupdate.desktop" || complain "the desktop entry is not valid"
exit $status
