#!/usr/bin/env bash
# Fails when a panel folder includes a header of a folder it does not link.
# Each folder under panel/ is one static library (its CMakeLists.txt); its
# sources may include headers of their own folder and of the folders whose
# libraries it links, directly or through them, and nothing above. The
# links themselves must not form a cycle. The transmitter core (core/, the
# library talvex_core) sits below every panel folder and must stay free of
# widgets: it links no Qt module but QtCore and includes no QtGui or
# QtWidgets header. Usage: scripts/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/../panel"

core_failures=0
if grep -nE 'Qt6::(Gui|Widgets)|COMPONENTS[^)]*(Gui|Widgets)' ../core/CMakeLists.txt >&2; then
  echo "check-layers: core/CMakeLists.txt reaches for QtGui or QtWidgets" >&2
  core_failures=$((core_failures + 1))
fi
# Module-qualified includes, and the classes of those modules the core could
# be tempted by; everything else it includes is QtCore's or its own.
widget_header='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(QtGui|QtWidgets)/|<Q(Widget|Application|GuiApplication|Color|Font|Icon|Pixmap|Image|Painter|Palette|MessageBox|Dialog|PushButton|Slider|Label)>'
if grep -nE "$widget_header" ../core/*.h ../core/*.cpp >&2; then
  echo "check-layers: core/ includes a QtGui or QtWidgets header" >&2
  core_failures=$((core_failures + 1))
fi

declare -A folder_of_target=() links_of=()
while IFS= read -r list; do
  folder=$(dirname "$list")
  text=$(tr '\n' ' ' < "$list")
  target=$(grep -oE 'add_library\(talvex_[a-z_]+' <<< "$text" | head -n1 | cut -d'(' -f2)
  [ -n "$target" ] || continue
  folder_of_target[$target]=$folder
  links_of[$folder]=$(grep -oE 'target_link_libraries\([^)]*\)' <<< "$text" | grep -oE 'talvex_[a-z_]+' \
                      | grep -vx "$target" | tr '\n' ' ' || true)
done < <(find . -mindepth 2 -name CMakeLists.txt | sed 's|^\./||' | sort)
# The core is a folder like the panel's, outside panel/.
folder_of_target[talvex_core]=../core
links_of[../core]=""

# The folders a folder may reach, by its links and theirs.
declare -A reach=()
reachable() {
  local start=$1 seen=" " queue=("$1") f t
  while [ ${#queue[@]} -gt 0 ]; do
    f=${queue[0]}; queue=("${queue[@]:1}")
    for t in ${links_of[$f]:-}; do
      local g=${folder_of_target[$t]:-}
      [ -n "$g" ] || continue  # not a panel library (Qt, Talvex, ...)
      if [ "$g" = "$start" ]; then
        echo "check-layers: panel/$start links itself back through panel/$f" >&2
        return 1
      fi
      case $seen in *" $g "*) ;; *) seen+="$g "; queue+=("$g") ;; esac
    done
  done
  reach[$start]=$seen
}

failures=$core_failures
for folder in "${folder_of_target[@]}"; do
  reachable "$folder" || failures=$((failures + 1))
done

for folder in "${folder_of_target[@]}"; do
  for file in "$folder"/*.cpp "$folder"/*.h; do
    [ -e "$file" ] || continue
    while IFS=: read -r line header; do
      case $header in
        core/*) used=../core ;;
        */*) used=$(dirname "$header") ;;
        *) [ -e "$folder/$header" ] && continue
           echo "panel/$file:$line: \"$header\" is not in panel/$folder; include it by its folder" >&2
           failures=$((failures + 1)); continue ;;
      esac
      [ -d "$used" ] || continue  # not a panel folder
      [ "$used" = "$folder" ] && continue
      case ${reach[$folder]:-} in *" $used "*) continue ;; esac
      echo "panel/$file:$line: panel/$folder includes \"$header\" from panel/$used, which it does not link" >&2
      failures=$((failures + 1))
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file" \
             | sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
  done
done

# The site service's folders (talvexd/<folder>, library talvexd_<folder>)
# include one another's headers only where they link them directly, and
# never the panel's.
for list in ../talvexd/*/CMakeLists.txt; do
  folder=$(basename "$(dirname "$list")")
  links=$(tr '\n' ' ' < "$list" | grep -oE 'target_link_libraries\([^)]*\)' | grep -oE 'talvexd_[a-z]+' | tr '\n' ' ' || true)
  for file in ../talvexd/"$folder"/*.cpp ../talvexd/"$folder"/*.h; do
    [ -e "$file" ] || continue
    while IFS=: read -r line header; do
      case $header in
        talvexd/*/*) used=$(cut -d/ -f2 <<< "$header") ;;
        panel/*|dialogkit/*|mainwindow/*|controls/*|dialogs/*|schedule/*) used=panel ;;
        *) continue ;;
      esac
      [ "$used" = "$folder" ] && continue
      case " $links " in *" talvexd_$used "*) continue ;; esac
      echo "${file#../}:$line: talvexd/$folder includes \"$header\", which it does not link" >&2
      failures=$((failures + 1))
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' "$file" \
             | sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
  done
done

if [ "$failures" -gt 0 ]; then
  echo "check-layers: $failures problem(s)" >&2
  exit 1
fi
echo "check-layers: ${#folder_of_target[@]} panel folders, every include goes downward; core/ has no widgets;" \
     "talvexd's folders include only what they link"
