#!/usr/bin/env bash
# The layout check fails, saying why, whenever it cannot check: no
# clang-format on the PATH, a style file it cannot read or parse, as well as
# a file laid out otherwise. Runs the script on a small tree of its own.
set -uo pipefail
script="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/scripts" "$tree/src" "$tree/tests" "$tree/bench" "$tree/tools"
cp "$script" "$tree/scripts/check-format"
printf 'BasedOnStyle: LLVM\n' >"$tree/.clang-format"
printf 'int x;\n' >"$tree/src/a.cpp"
for tool in bash dirname sed sort head printf find mktemp; do ln -s "$(command -v "$tool")" "$tree/tools/$tool"; done
failed=0
expect() { # expected status, words the output must hold, then the command
  local want="$1" words="$2"
  shift 2
  local output status
  output="$("$@" 2>&1)"
  status=$?
  if [ "$status" -ne "$want" ] || ! grep -q -- "$words" <<<"$output"; then
    echo "FAILED: '$*' gave $status (wanted $want) and said: $output"
    failed=1
  fi
}
expect 0 "as formatted" "$tree/scripts/check-format"
expect 1 "not installed" env PATH="$tree/tools" bash "$tree/scripts/check-format"
printf 'BasedOnStyle: [\n' >"$tree/.clang-format"
expect 1 "clang-format failed" "$tree/scripts/check-format"
chmod 000 "$tree/.clang-format"
[ "$(id -u)" -ne 0 ] && expect 1 "cannot read" "$tree/scripts/check-format"
rm -f "$tree/.clang-format"
expect 1 "cannot read" "$tree/scripts/check-format"
printf 'BasedOnStyle: LLVM\n' >"$tree/.clang-format"
printf 'int  x;\n' >"$tree/src/a.cpp"
expect 1 "src/a.cpp" "$tree/scripts/check-format"
exit "$failed"
