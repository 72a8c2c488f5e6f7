#!/usr/bin/env bash
# Every option that a program's --help lists appears in its manual page, as
# a whole word: the page is made at build time, and this shows that it was
# made from the program as built and that help2man kept every line.
#
#   scripts/check_manpage.sh PROGRAM PAGE.1
set -euo pipefail
help="$("$1" --help)"
# The page as text: roff's escaped hyphens and font changes removed.
page="$(sed 's/\\-/-/g; s/\\f[BIRP]//g; s/\\f(..//g' "$2")"
missing=()
for option in $(grep -oE '(^|[ ,])--?[A-Za-z0-9][-A-Za-z0-9]*' <<<"$help" | tr -d ' ,' | sort -u); do
  grep -qE -- "(^|[^-A-Za-z0-9])$option([^-A-Za-z0-9]|\$)" <<<"$page" || missing+=("$option")
done
[ ${#missing[@]} -eq 0 ] || { echo "check_manpage: $2 lacks ${missing[*]}" >&2; exit 1; }
echo "check_manpage: $2 has every option of $1 --help"
