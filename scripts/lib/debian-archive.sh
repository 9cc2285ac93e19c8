# Sourced by the scripts that add apt entries of our own (the non-free component, source packages).
# They must follow the system's own Debian archive entry, never a fixed host: a machine on a local
# mirror keeps using that mirror, and apt refuses two entries for one archive with different keyrings.
#
# debian_archive: sets DEBIAN_URI, DEBIAN_SUITE and DEBIAN_KEYRING (may be empty) from the first
# "deb" entry for the main Debian archive (not security, not updates) in /etc/apt/sources.list or
# /etc/apt/sources.list.d/*.sources|*.list (our own zel-* files aside), in one-line or deb822 form.
# Returns 1 when there is none. APT_ETC replaces /etc/apt (for trying it out).
debian_archive() {
    local line etc=${APT_ETC:-/etc/apt}
    line=$(
        {
            # deb822: one record per paragraph; print "uri suite keyring" for each deb URI and suite.
            for f in "$etc"/sources.list.d/*.sources; do
                [ -f "$f" ] || continue
                case ${f##*/} in zel-*) continue ;; esac
                awk 'function flush() {
                         if (types ~ /(^| )deb( |$)/ && enabled != "no")
                             for (u in uris) for (s in suites) print uris[u], suites[s], key
                         types = ""; key = ""; enabled = ""; delete uris; delete suites
                     }
                     /^[ \t]*#/ { next }
                     /^[ \t]*$/ { flush(); next }
                     { field = tolower($1) }
                     field == "types:"     { types = $0; sub(/^[^:]*:[ \t]*/, "", types) }
                     field == "enabled:"   { enabled = tolower($2) }
                     field == "uris:"      { for (i = 2; i <= NF; i++) uris[i] = $i }
                     field == "suites:"    { for (i = 2; i <= NF; i++) suites[i] = $i }
                     field == "signed-by:" { key = $2 }
                     END { flush() }' "$f"
            done
            # One-line form: deb [options] uri suite components...
            for f in "$etc"/sources.list "$etc"/sources.list.d/*.list; do
                [ -f "$f" ] || continue
                case ${f##*/} in zel-*) continue ;; esac
                awk '$1 == "deb" {
                         key = ""; i = 2
                         if ($2 ~ /^\[/) {
                             for (; i <= NF; i++) {
                                 if ($i ~ /signed-by=/) { key = $i; sub(/.*signed-by=/, "", key); sub(/\]$/, "", key) }
                                 if ($i ~ /\]$/) { i++; break }
                             }
                         }
                         print $i, $(i + 1), key
                     }' "$f"
            done
        } | awk '$1 ~ /\/debian\/?$/ && $2 !~ /-(security|updates|backports)$/ && $2 !~ /\// { print; exit }'
    )
    [ -n "$line" ] || return 1
    read -r DEBIAN_URI DEBIAN_SUITE DEBIAN_KEYRING <<<"$line"
    DEBIAN_URI=${DEBIAN_URI%/}
}

# The line or paragraph that names the keyring of the system's entry, for entries of our own.
_debian_keyring_option() { [ -n "$DEBIAN_KEYRING" ] && printf '[signed-by=%s] ' "$DEBIAN_KEYRING"; }

# add_debian_entry FILE TYPE COMPONENT: writes an apt entry of our own (TYPE deb or deb-src) for the
# system's Debian archive and suite, once, and refreshes apt's lists. Needs root (or sudo).
add_debian_entry() {
    local file=$1 type=$2 component=$3 sudo=""
    [ -f "$file" ] && return 0
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    debian_archive || { echo "no Debian archive entry found in /etc/apt: cannot add $type $component" >&2; return 1; }
    echo "$type $(_debian_keyring_option)$DEBIAN_URI $DEBIAN_SUITE $component" | $sudo tee "$file" >/dev/null
    $sudo apt-get update -qq
}
