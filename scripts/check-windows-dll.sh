#!/bin/sh
# Static checks of the 32-bit Windows DLL against the public header, for
# builds whose host cannot run 32-bit programs.
#
#   scripts/check-windows-dll.sh VemkaSDK.dll include/vemkasdk.h
#
# 1. exports: the DLL exports exactly the VemkaSDK_* functions the header
#    declares, each under its plain name (no @N, no leading underscore).
# 2. stack cleanup: every ret in each exported function pops as many bytes
#    as the header's declaration makes a caller push (the compiler's own
#    stdcall decoration _Name@N of a reference to each function gives N).
# 3. callbacks: every callback typedef carries VEMKA_CALL and so is stdcall.
# 4. imports: the DLL links against Windows system DLLs only.
#
# Tools can be overridden with OBJDUMP, NM and CC. Exit status 1 when a
# check fails, 2 on wrong usage or a tool failure.
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 DLL HEADER" >&2
  exit 2
fi
dll=$1
header=$2
for f in "$dll" "$header"; do
  if [ ! -r "$f" ]; then
    echo "$0: cannot read $f" >&2
    exit 2
  fi
done

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
NM=${NM:-i686-w64-mingw32-nm}
CC=${CC:-i686-w64-mingw32-gcc-posix}

work=$(mktemp -d "${TMPDIR:-/tmp}/vemka-dllcheck.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 2' HUP INT PIPE TERM

# fail reports one offence; summary closes a check with one line and
# resets the per-check state.
failed=0
any_failed=0
fail() {
  echo "  FAIL: $*"
  failed=1
}
summary() {
  if [ "$failed" -ne 0 ]; then
    echo "$1: FAILED ($2)"
    any_failed=1
  else
    echo "$1: ok ($2)"
  fi
  failed=0
}

hex_to_dec() {
  printf '%d' "0x$1"
}

"$OBJDUMP" -p "$dll" > "$work/private" || { echo "$0: $OBJDUMP -p failed" >&2; exit 2; }

# ---- 1. exports ---------------------------------------------------------
# Functions the header declares: the same pattern as tests/check_exports.sh.
grep -oE 'VEMKA_CALL \**VemkaSDK_[A-Za-z0-9_]+\(' "$header" | grep -oE 'VemkaSDK_[A-Za-z0-9_]+' |
  sort -u > "$work/declared"
# Declarations that lack VEMKA_CALL: a host compiling against them would use
# the caller-cleans convention.
grep -E '^VEMKA_API' "$header" | grep -oE 'VemkaSDK_[A-Za-z0-9_]+\(' | tr -d '(' | sort -u |
  comm -23 - "$work/declared" > "$work/no_call"

# Name table lines read "[ord] name" (binutils <= 2.40) or
# "[ord] +base[n] hint name" (later); the first number is the unbiased
# ordinal, which indexes the export address table.
awk '
  /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
  /^Export Address Table -- Ordinal Base/ { addrs = 1; next }
  /^$/ { names = 0; addrs = 0; next }
  names && /^\t\[/ { o = $0; sub(/^\t\[ */, "", o); sub(/\].*/, "", o); print "N", o, $NF }
  addrs && /^\t\[/ { o = $0; sub(/^\t\[ */, "", o); sub(/\].*/, "", o)
                     if ($0 ~ /Export RVA/) print "A", o, $(NF - 2) }
' "$work/private" > "$work/edata"
awk '$1 == "N" { print $3 }' "$work/edata" | sort > "$work/exported"
image_base=$(awk '$1 == "ImageBase" { print $2; exit }' "$work/private")

while read -r name; do
  case $name in
    *@*|_*) fail "$name is exported with a decorated name" ;;
    VemkaSDK_*) grep -qx "$name" "$work/declared" || fail "$name is exported but the header does not declare it with VEMKA_CALL" ;;
    *) fail "$name is exported but is not part of the SDK" ;;
  esac
done < "$work/exported"
while read -r name; do
  grep -qx "$name" "$work/exported" || fail "$name is declared in the header but not exported under that name"
done < "$work/declared"
while read -r name; do
  [ -n "$name" ] && fail "$name is declared without VEMKA_CALL"
done < "$work/no_call"
summary exports "$(wc -l < "$work/exported") exported, $(wc -l < "$work/declared") declared with VEMKA_CALL"

# ---- 2. stack cleanup ---------------------------------------------------
# Compile a reference to every declared function; the compiler names each
# one _Name@N where N is the number of argument bytes the callee must pop.
{
  echo '#include "vemkasdk.h"'
  echo 'const void *const vemka_check_refs[] = {'
  sed 's/.*/  (const void *)\&&,/' "$work/declared"
  echo '};'
} > "$work/refs.c"
hdir=$(dirname "$header")
if ! "$CC" -std=c11 -c -I"$hdir" "$work/refs.c" -o "$work/refs.o" 2> "$work/refs.err"; then
  cat "$work/refs.err" >&2
  echo "$0: $CC cannot compile a reference to each declared function" >&2
  exit 2
fi
"$NM" --undefined-only "$work/refs.o" | grep -oE '_?VemkaSDK_[A-Za-z0-9_]+(@[0-9]+)?' |
  sed 's/^_//' | awk -F@ '{ print $1, ($2 == "" ? 0 : $2) }' | sort > "$work/expected"

# Function bounds come from the symbol table: a function (and the .cold part
# the compiler may split off it) runs up to the next symbol.
"$NM" -n "$dll" 2> /dev/null | awk 'NF == 3 { print $1, $3 }' > "$work/symbols"

checked=0
if [ ! -s "$work/symbols" ]; then
  fail "$dll has no symbol table, so its functions cannot be bounded"
else
  while read -r name bytes; do
    ord=$(awk -v n="$name" '$1 == "N" && $3 == n { print $2; exit }' "$work/edata")
    [ -n "$ord" ] || continue # reported under exports
    rva=$(awk -v o="$ord" '$1 == "A" && $2 == o { print $3; exit }' "$work/edata")
    if [ -z "$rva" ]; then
      fail "$name has no code address in the export table"
      continue
    fi
    start=$(($(hex_to_dec "$image_base") + $(hex_to_dec "$rva")))
    # Ranges: the export itself, then any .cold part of its symbol.
    awk -v s="$start" -v n="$name" '
      function dec(h,   i, c, v) { v = 0; h = tolower(h)
        for (i = 1; i <= length(h); i++) { c = index("0123456789abcdef", substr(h, i, 1)) - 1; v = v * 16 + c }
        return v }
      { a[NR] = dec($1); sym[NR] = $2 }
      END {
        for (i = 1; i <= NR; i++) {
          if (a[i] == s && !done) { for (j = i + 1; j <= NR && a[j] <= s; j++); if (j <= NR) print s, a[j]; done = 1 }
          if (sym[i] ~ ("^_" n "(@[0-9]+)?\\.cold$")) { for (j = i + 1; j <= NR && a[j] <= a[i]; j++); if (j <= NR) print a[i], a[j] }
        }
      }' "$work/symbols" > "$work/ranges"
    if ! head -n 1 "$work/ranges" | awk -v s="$start" '$1 == s { ok = 1 } END { exit !ok }'; then
      fail "$name: no symbol starts at its export address 0x$(printf '%x' "$start")"
      continue
    fi
    : > "$work/rets"
    while read -r from to; do
      "$OBJDUMP" -d --no-show-raw-insn --start-address="$from" --stop-address="$to" "$dll" |
        awk -F'\t' 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {
          ins = $2; sub(/^(repz|rep|bnd) +/, "", ins)
          if (ins ~ /^ret[lw]?( |$)/) { sub(/^ret[lw]? */, "", ins); print (ins == "" || ins == "$0x0" ? "ret" : "ret " ins) }
        }' >> "$work/rets"
    done < "$work/ranges"
    want=ret
    [ "$bytes" -eq 0 ] || want=$(printf "ret \$0x%x" "$bytes")
    bad=$(grep -vxF "$want" "$work/rets" | sort -u | sed 's/$/,/' | tr '\n' ' ' || true)
    if [ -n "$bad" ]; then
      fail "$name pops the wrong number of bytes: the header makes it $bytes, its code has ${bad%, }"
    elif [ "$bytes" -gt 0 ] && ! grep -qxF "$want" "$work/rets"; then
      fail "$name has no $want (only tail calls?), so its stack cleanup of $bytes bytes cannot be confirmed"
    fi
    checked=$((checked + 1))
  done < "$work/expected"
fi
summary "stack cleanup" "$checked exports checked against the header's argument sizes"

# ---- 3. callbacks -------------------------------------------------------
# Every function-pointer typedef in the header is a callback the SDK calls.
grep -oE 'typedef[^;]*\([A-Za-z_ ]*\*[ ]*[A-Za-z0-9_]+\)[ ]*\(' "$header" |
  sed -E 's/.*\(([A-Za-z_ ]*)\*[ ]*([A-Za-z0-9_]+)\)[ ]*\($/\1|\2/' > "$work/callbacks"
: > "$work/callback_names"
while IFS='|' read -r conv name; do
  case " $conv " in
    *" VEMKA_CALL "*) echo "$name" >> "$work/callback_names" ;;
    *) fail "callback $name is declared without VEMKA_CALL" ;;
  esac
done < "$work/callbacks"
# The header's own type is assigned to a pointer to the same function type
# marked __stdcall; a pointer of any other convention does not convert.
gen_stdcall_probe() {
  while read -r cb; do
    echo "typedef __typeof__(*($cb)0) vemka_fn_$cb;"
    echo "typedef vemka_fn_$cb __attribute__((stdcall)) *vemka_std_$cb;"
    echo "void vemka_probe_$cb($cb p) { vemka_std_$cb q = p; (void)q; }"
  done
}
{
  echo '#include "vemkasdk.h"'
  gen_stdcall_probe < "$work/callback_names"
} > "$work/callbacks.c"
# Control: the same probe must reject a caller-cleans pointer, or the
# compiler would not tell the conventions apart and the check means nothing.
{
  echo 'typedef void (*vemka_cdecl_cb)(int, int);'
  echo vemka_cdecl_cb | gen_stdcall_probe
} > "$work/control.c"
cflags="-std=c11 -c -Werror=incompatible-pointer-types -I$hdir"
# shellcheck disable=SC2086 # cflags is a word list
if "$CC" $cflags "$work/control.c" -o "$work/control.o" 2> /dev/null; then
  echo "$0: $CC accepts a caller-cleans pointer as __stdcall; it cannot check callbacks" >&2
  exit 2
fi
# shellcheck disable=SC2086
if ! "$CC" $cflags "$work/callbacks.c" -o "$work/callbacks.o" 2> "$work/callbacks.err"; then
  grep -oE "vemka_std_[A-Za-z0-9_]+" "$work/callbacks.err" | sed 's/^vemka_std_//' | sort -u |
    while read -r cb; do echo "  FAIL: callback $cb is not __stdcall"; done
  grep -q 'vemka_std_' "$work/callbacks.err" || cat "$work/callbacks.err"
  failed=1
fi
summary callbacks "$(wc -l < "$work/callbacks") typedefs, $(wc -l < "$work/callback_names") declared with VEMKA_CALL"

# ---- 4. imports ---------------------------------------------------------
sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' "$work/private" | tr -d '\r' > "$work/imports"
while read -r lib; do
  case $(printf '%s' "$lib" | tr '[:upper:]' '[:lower:]') in
    kernel32.dll|msvcrt.dll|ws2_32.dll|normaliz.dll|advapi32.dll|user32.dll|api-ms-win-*.dll)
      ;;
    *) fail "$lib is not a Windows system DLL" ;;
  esac
done < "$work/imports"
list=$(tr '\n' ' ' < "$work/imports")
summary imports "$(wc -l < "$work/imports") DLLs: ${list% }"

if [ "$any_failed" -ne 0 ]; then
  echo "$dll: FAILED"
  exit 1
fi
echo "$dll: all checks passed"
