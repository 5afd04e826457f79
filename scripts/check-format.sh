#!/usr/bin/env bash
# Fails when a C or C++ file under version control is not laid out as
# .clang-format says; lists those files. With --fix, formats them in place.
# Usage: scripts/check-format.sh [--fix] [FILE...]
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=clang-format-14
command -v "$formatter" > /dev/null || { echo "check-format: $formatter is missing (scripts/install-deps.sh)" >&2; exit 2; }

fix=0
if [ "${1:-}" = "--fix" ]; then
  fix=1
  shift
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
fi

if [ "$fix" -eq 1 ]; then
  "$formatter" -i --style=file "${files[@]}"
  exit 0
fi

unformatted=()
for file in "${files[@]}"; do
  "$formatter" --style=file --dry-run -Werror "$file" > /dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf '%s\n' "${unformatted[@]}" >&2
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files not formatted; scripts/check-format.sh --fix formats them" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
