#!/usr/bin/env bash
# Writes apt source entries for Debian's source packages, made from the package
# sources this system already uses: every enabled entry of type `deb` becomes the same
# entry of type `deb-src`, with its own servers, suites, components, Signed-By and
# options, so a machine behind a mirror or a proxy fetches sources from there too.
#
#   deb-src-entries.sh [SOURCES_LIST SOURCES_PARTS DESTDIR]
#
# Without arguments it reads apt's own sources (Dir::Etc::sourcelist and
# Dir::Etc::sourceparts) and writes into the latter. It writes
# DESTDIR/vidlume-deb-src.sources (from deb822 .sources files, as deb822) and
# DESTDIR/vidlume-deb-src.list (from one-line sources.list / .list files, as one-line
# entries, their [options] kept word for word), each only when it has entries, and
# prints the names of the files written. Files apt does not read (other extensions,
# such as a renamed, disabled one), stanzas with `Enabled: no` and comments are left
# out, and so are entries that already have their deb-src twin.
set -euo pipefail

if [[ $# -eq 3 ]]; then
    sources_list=$1 sources_parts=$2 destdir=$3
elif [[ $# -eq 0 ]]; then
    eval "$(apt-config shell sources_list Dir::Etc::sourcelist/f sources_parts Dir::Etc::sourceparts/d)"
    destdir=$sources_parts
else
    echo "usage: $0 [SOURCES_LIST SOURCES_PARTS DESTDIR]" >&2
    exit 2
fi
sources_parts=${sources_parts%/}
destdir=${destdir%/}

# The files apt reads, in its order; our own output is never input.
one_line=() deb822=()
[[ -f $sources_list ]] && one_line+=("$sources_list")
shopt -s nullglob
for file in "$sources_parts"/*; do
    name=${file##*/}
    [[ $name =~ ^[A-Za-z0-9_.-]+$ && $name != vidlume-deb-src.* && -f $file ]] || continue
    case $name in
        *.list) one_line+=("$file") ;;
        *.sources) deb822+=("$file") ;;
    esac
done

# One-line entries: "deb [options] URI SUITE [COMPONENT...]" becomes "deb-src ..." with
# the rest of the line as it was.
list_entries() {
    [[ $# -gt 0 ]] || return 0
    awk '
        { sub(/\r$/, "") }
        /^[ \t]*#/ || /^[ \t]*$/ { next }
        {
            line = $0; sub(/^[ \t]+/, "", line)
            type = line; sub(/[ \t].*/, "", type)
            rest = substr(line, length(type) + 1); sub(/^[ \t]+/, "", rest); sub(/[ \t]+$/, "", rest)
            if (type == "deb") { if (!(rest in want)) { order[++n] = rest; want[rest] = 1 } }
            else if (type == "deb-src") have[rest] = 1
        }
        END { for (i = 1; i <= n; i++) if (!(order[i] in have)) print "deb-src " order[i] }
    ' "$@"
}

# deb822 stanzas: the stanza as it was, its Types field now "deb-src", its comments
# left out. Field names are case-insensitive; a field goes on in lines that start
# with a space or a tab (a key block in Signed-By, for one).
sources_entries() {
    [[ $# -gt 0 ]] || return 0
    awk '
        function flush(   i, types, enabled, t, words, has_deb, has_src) {
            if (count == 0) return
            types = ""; enabled = "yes"
            for (i = 1; i <= count; i++) {
                if (tolower(name[i]) == "types") types = value[i]
                if (tolower(name[i]) == "enabled") enabled = tolower(value[i])
            }
            gsub(/^[ \t\n]+|[ \t\n]+$/, "", enabled)
            n = split(types, words, /[ \t\n]+/)
            has_deb = has_src = 0
            for (t = 1; t <= n; t++) { if (words[t] == "deb") has_deb = 1; if (words[t] == "deb-src") has_src = 1 }
            if (has_deb && !has_src && enabled != "no") {
                if (printed++) print ""
                for (i = 1; i <= count; i++)
                    if (tolower(name[i]) == "types") print "Types: deb-src"
                    else print text[i]
            }
            count = 0
        }
        FNR == 1 { flush() }
        { sub(/\r$/, "") }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        /^[ \t]/ { if (count) { text[count] = text[count] "\n" $0; value[count] = value[count] "\n" $0 } next }
        {
            count++
            name[count] = $0; sub(/:.*/, "", name[count])
            value[count] = $0; sub(/^[^:]*:[ \t]*/, "", value[count])
            text[count] = $0
        }
        END { flush() }
    ' "$@"
}

list_out=$(list_entries "${one_line[@]}")
sources_out=$(sources_entries "${deb822[@]}")
if [[ -z $list_out && -z $sources_out ]]; then
    echo "No enabled 'deb' entry in $sources_list or $sources_parts/*.{list,sources} to take the servers from" >&2
    exit 1
fi
header="# Debian's source packages from the servers of this system's deb entries (scripts/deb-src-entries.sh)"
for kind in list sources; do
    out=${kind}_out
    file=$destdir/vidlume-deb-src.$kind
    if [[ -n ${!out} ]]; then
        printf '%s\n%s\n' "$header" "${!out}" >"$file"
        echo "$file"
    else
        rm -f "$file"
    fi
done
