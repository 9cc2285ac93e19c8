#!/usr/bin/env bash
# Checks what a shared library exports: every symbol it defines for others (nm -D --defined-only;
# a DLL's export table) must belong to one of the NAMEs given, a class (its members, vtable and type
# information) or a C function, and every NAME must be there. An ELF library must carry a versioned
# SONAME. A DLL is read with the objdump of its tool chain, named by $OBJDUMP.
# Usage: check-exports.sh LIBRARY NAME...
set -euo pipefail
library=$1
shift
status=0

exports() { # the demangled names that the library exports
    if [[ $library == *.dll ]]; then
        "${OBJDUMP:?the objdump of the tool chain that made the DLL}" -p "$library" |
            sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] //p' | c++filt
    else
        nm -D --defined-only -C "$library" | cut -d' ' -f3-
    fi
}

if [[ $library != *.dll ]]; then
    soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
    if [[ ! $soname =~ \.so\.[0-9]+$ ]]; then
        echo "$library: no versioned SONAME (found '${soname}')" >&2
        status=1
    fi
fi

declare -A seen=()
while IFS= read -r symbol; do
    # Names that begin with two underscores belong to the tool chain (sanitizer and coverage hooks).
    [[ $symbol == __* ]] && continue
    owner=$symbol
    for prefix in "vtable for " "VTT for " "typeinfo for " "typeinfo name for " "non-virtual thunk to " \
                  "virtual thunk to " "guard variable for "; do
        owner=${owner#"$prefix"}
    done
    match=""
    for name in "$@"; do
        if [[ $owner == "$name" || $owner == "$name::"* ]]; then
            match=$name
            break
        fi
    done
    if [[ -z $match ]]; then
        echo "$library: exports $symbol, which is none of: $*" >&2
        status=1
    else
        seen[$match]=1
    fi
done < <(exports)

for name in "$@"; do
    if [[ -z ${seen[$name]:-} ]]; then
        echo "$library: does not export $name" >&2
        status=1
    fi
done
exit $status
