#!/usr/bin/env bash
# The rooms of src/ stand in layers: a room includes only rooms below it, and only the
# shell and the program entry include the windows of other rooms. Prints each include
# that breaks this and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
rooms=(text platform settings opening db store fulltext memo drawing board groupdlg drawinglist groupwin links search shell app)
windows='(mainwindow|databasesettingsdialog|groupwindow|groupcreatedialog|groupeditdialog|memodialog|subgroupnamedialog|searchwindow|linkcheckwindow|folderreplacedialog|rootmapdialog|openwithdialog|openprogramsdialog|filedwindow)\.h'
bad=0
for ((i = 0; i < ${#rooms[@]}; i++)); do
  room=${rooms[i]}
  for ((j = i + 1; j < ${#rooms[@]}; j++)); do
    above=${rooms[j]}
    if grep -nE "^#include \"$above/" -r "$room" >/dev/null; then
      grep -nE "^#include \"$above/" -r "$room" | sed "s|^|src/|; s|\$|   <- $room includes $above, a room above it|"
      bad=1
    fi
  done
  if [ "$room" != shell ] && [ "$room" != app ]; then
    while IFS= read -r hit; do
      file=${hit%%:*}
      target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$hit")
      [ "${target%%/*}" = "$room" ] && continue
      echo "src/$hit   <- only the shell includes another room's window"
      bad=1
    done < <(grep -nE "^#include \"[a-z]+/$windows\"" -r "$room" || true)
  fi
done
exit $bad
