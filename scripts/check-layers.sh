#!/usr/bin/env bash
# Checks that the includes of every source and test file point down the layers:
#
#   quarvel/ -> window/ -> converter/ -> writer/ -> workbook/ -> biff/ -> platform/
#
# A file may include the headers of its own layer and of the layers below it, never of one above.
# The toolkit layer platform/qt/ belongs to the window's side: only window/ (and platform/qt/
# itself and the window's tests) may include it. A test file or test support header in
# tests/<layer>/ is held to that layer; tests/quarvel/, bench/ and fuzz/ stand at the top with the program.
# Includes written relative to the including file are resolved first.
#
# Prints every offending include as FILE:LINE: the line, and exits with status 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# The rank of a path's layer (0 = platform), or nothing for a path outside the layers.
rank() {
    case "$1" in
        platform/*) echo 0 ;;
        biff/*) echo 1 ;;
        workbook/*) echo 2 ;;
        writer/*) echo 3 ;;
        converter/*) echo 4 ;;
        window/*) echo 5 ;;
        quarvel/* | bench/* | fuzz/*) echo 6 ;;
        tests/*) rank "${1#tests/}" ;;
    esac
}

# Whether a file may include the toolkit layer.
toolkit_side() {
    case "$1" in
        window/* | tests/window/* | platform/qt/*) return 0 ;;
        *) return 1 ;;
    esac
}

failures=0
fail() {
    echo "$1"
    failures=$((failures + 1))
}

while IFS= read -r file; do
    [ -f "$file" ] || continue
    case "$file" in tests/corpus/*) continue ;; esac
    own=$(rank "$file")
    if [ -z "$own" ]; then
        fail "$file: outside the layers (move it into a layer folder or tests/<layer>/)"
        continue
    fi
    dir=$(dirname "$file")
    while IFS= read -r hit; do
        line=${hit%%:*}
        text=${hit#*:}
        target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<< "$text")
        if [ -z "$(rank "$target")" ] && [ "${target#tests/}" = "$target" ]; then
            # Relative to the including file; a header that is not in the tree (a generated file)
            # is nobody's layer.
            resolved=$(realpath -m --relative-to=. "$dir/$target")
            [ -e "$resolved" ] || continue
            target=$resolved
        fi
        other=$(rank "$target")
        [ -n "$other" ] || continue
        if [ "$other" -gt "$own" ]; then
            fail "$file:$line: $text   (includes a layer above its own)"
        elif [ "${target#platform/qt/}" != "$target" ] && ! toolkit_side "$file"; then
            fail "$file:$line: $text   (only the window may include the toolkit layer)"
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(
    if git rev-parse --is-inside-work-tree > /dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard '*.cpp' '*.h' '*.hpp' '*.inc' '*.cc'
    else
        find . -path ./.git -prune -o -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \
            -o -name '*.hpp' -o -name '*.inc' -o -name '*.cc' \) -print | sed 's|^\./||'
    fi | sort -u
)

if [ "$failures" -gt 0 ]; then
    echo "$failures include(s) against the layer order" >&2
    exit 1
fi
echo "layers: every include points down"
