#!/usr/bin/env bash
# The layout check fails, saying why, when it cannot check (no clang-format
# on the PATH, a style file missing or unreadable) as when a file differs.
set -uo pipefail
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts" "$tree/src" "$tree/tests" "$tree/bench" "$tree/tools"
check="$tree/scripts/check-format"
cp "$1" "$check"
printf 'int x;\n' >"$tree/src/a.cpp"
for tool in bash dirname sed sort head printf find; do ln -s "$(command -v "$tool")" "$tree/tools/$tool"; done
failed=0
expect() { # the status wanted, words the output must hold, the style file, then the command
  printf '%b' "$3" >"$tree/.clang-format"
  local output status
  output="$("${@:4}" 2>&1)"
  status=$?
  [ "$status" -eq "$1" ] && grep -q -- "$2" <<<"$output" || { echo "FAILED ($status): ${*:4}: $output"; failed=1; }
}
expect 0 "as formatted" 'BasedOnStyle: LLVM\n' bash "$check"
expect 1 "not installed" 'BasedOnStyle: LLVM\n' env PATH="$tree/tools" bash "$check"
expect 1 "clang-format failed" 'BasedOnStyle: [\n' bash "$check"
withoutStyle() { rm -f "$tree/.clang-format" && bash "$check"; }
expect 1 "cannot read" '' withoutStyle
printf 'int  x;\n' >"$tree/src/a.cpp"
expect 1 "src/a.cpp" 'BasedOnStyle: LLVM\n' bash "$check"
exit "$failed"
