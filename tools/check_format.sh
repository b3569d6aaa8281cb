#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the tree differs from .clang-format as Debian's clang-format 14
# formats it. The letter tables are generated (tools/make_letter_tables.py) and kept as generated.
#   tools/check_format.sh         check
#   tools/check_format.sh --fix   reformat the files that differ
set -euo pipefail
cd "$(dirname "$0")/.."
formatter=clang-format-14
if ! command -v "$formatter" >/dev/null; then
    echo "check_format: $formatter is not installed (./setup.sh --test installs it)" >&2
    exit 1
fi
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h' | grep -v -x -e 'pinyin/lettertables.cpp')
if [ ${#files[@]} -eq 0 ]; then
    echo "check_format: found no C++ files (not a git checkout?)" >&2
    exit 1
fi
differ=()
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    "$formatter" --style=file "$f" | cmp -s - "$f" || differ+=("$f")
done
if [ ${#differ[@]} -eq 0 ]; then
    echo "check_format: ${#files[@]} C++ files match .clang-format"
    exit 0
fi
if [ "${1:-}" = "--fix" ]; then
    "$formatter" -i --style=file "${differ[@]}"
    echo "check_format: reformatted ${differ[*]}"
    exit 0
fi
echo "check_format: ${#differ[@]} of ${#files[@]} C++ files differ from .clang-format (fix: tools/check_format.sh --fix):" >&2
printf '    %s\n' "${differ[@]}" >&2
exit 1
