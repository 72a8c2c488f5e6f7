#!/usr/bin/env bash
# The bash completion offers every long option that 3ds2vnp --help lists
# (so a new option is not forgotten there), and .3ds files for models.
#
#   check_completion.sh PATH/TO/3ds2vnp COMPLETION_FILE
# Not -e or -u: bash-completion itself relies on failing tests and unset names.
set -o pipefail
program="$1"
source /usr/share/bash-completion/bash_completion
source "$2"
complete_line() {
  COMP_LINE="$1"; COMP_POINT=${#COMP_LINE}
  read -r -a COMP_WORDS <<<"$COMP_LINE"
  [[ $COMP_LINE == *' ' ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _comp_3ds2vnp 3ds2vnp "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}
complete_line "3ds2vnp --"
offered=" ${COMPREPLY[*]} "
for option in $("$program" --help | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
  [[ $offered == *" $option "* ]] || { echo "check_completion: $option is not offered" >&2; exit 1; }
done
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
touch "$folder/ship.3ds" "$folder/SHIP2.3DS" "$folder/notes.txt"
cd "$folder"
for line in "3ds2vnp " "3ds2vnp --lod2 " "3ds2vnp -- "; do
  complete_line "$line"
  got="$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')"
  [ "$got" = "SHIP2.3DS ship.3ds " ] || { echo "check_completion: '$line' offers '$got'" >&2; exit 1; }
done
echo "check_completion: every option and the .3ds files are offered"
