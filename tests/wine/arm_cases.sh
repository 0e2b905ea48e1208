#!/usr/bin/env bash
# An ARM build's end-to-end cases: the contract rows marked arm
# (tests/contract/cases.txt), run inside the arm64 or armhf root by
# run_arm_group.sh, with OlmInit.exe and cases.txt beside this file and the
# root's Wine loader and server in WINE_LOADER and WINE_SERVER. Wine has no
# display there, so a box returns at once; Wine's relay trace shows its text
# and every other call the launcher makes.
set -euo pipefail
cd "$(dirname "$0")"
# Without a display, Wine's desktop process (explorer) spins under qemu and
# starves every process after it; nothing here needs it.
export WINEPREFIX=$PWD/prefix WINEDEBUG=-all LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;explorer.exe=d"
wine() { "$WINE_LOADER" "$@"; }
wineserver() { "$WINE_SERVER" "$@"; }
wine wineboot -i >boot.log 2>&1
wineserver -w
drive=$WINEPREFIX/drive_c
key='HKEY_LOCAL_MACHINE\SOFTWARE\OLM Controls\OLM_2_10_0_3639\OlmInit'

# decode FIELD: the field's text, its {...} escapes replaced, into REPLY.
decode() {
  local s=$1 out='' e n
  while [[ $s =~ ^([^{]*)\{([^}]*)\}(.*)$ ]]; do
    out+=${BASH_REMATCH[1]} e=${BASH_REMATCH[2]} s=${BASH_REMATCH[3]}
    case $e in
      sp) out+=' ' ;; tab) out+=$'\t' ;; lf) out+=$'\n' ;; cr) out+=$'\r' ;;
      vt) out+=$'\v' ;; ff) out+=$'\f' ;; bar) out+='|' ;; lb) out+='{' ;; empty) ;;
      U+????) printf -v e "\\u${e#U+}" && out+=$e ;;
      [0-9]*\*?) printf -v n '%*s' "${e%\**}" '' && out+=${n// /${e#*\*}} ;;
      *) echo "arm_cases: unknown escape {$e}" >&2 && exit 1 ;;
    esac
  done
  REPLY=$out$s
}

# on_disk PATH: the Windows path with each existing folder spelled as the
# disk spells it (C:\windows), as the system hands it back, into REPLY.
on_disk() {
  local rest=${1#C:\\} unix=$drive spelled='C:' part found
  while [[ $rest == *\\* ]]; do
    part=${rest%%\\*} rest=${rest#*\\}
    found=$(find "$unix" -maxdepth 1 -iname "$part" -print -quit)
    [[ -n $found ]] || found=$unix/$part
    unix=$found spelled+=\\${found##*/}
  done
  REPLY=$spelled\\$rest
}

# traced TEXT: TEXT as the relay trace writes a wide string.
traced() {
  local s=${1//\\/\\\\}
  s=${s//\"/\\\"} && s=${s//$'\t'/\\t} && s=${s//$'\n'/\\n}
  REPLY="L\"$s\""
}

# The Wait the row states, in the form `reg query` shows it.
shown() {
  case $1 in
    none) REPLY='no key' ;;
    key) REPLY='no value' ;;
    4:????????) REPLY="REG_DWORD 0x$(printf %x $((16#${1:8:2}${1:6:2}${1:4:2}${1:2:2})))" ;;
    *) echo "arm_cases: a Wait of $1 is not read back here" >&2 && exit 1 ;;
  esac
}

stored_now() {
  local out
  if ! out=$(wine reg query "$key" 2>/dev/null | tr -d '\r'); then
    REPLY='no key'
  elif [[ $out =~ Wait\ +(REG_[A-Z_]+)\ +([0-9a-fx]+) ]]; then
    REPLY="${BASH_REMATCH[1]} ${BASH_REMATCH[2]}"
  else
    REPLY='no value'
  fi
}

passed=0 failed=0 rows=0
check() {
  if eval "$2"; then passed=$((passed + 1)); else echo "  FAIL [$name] $1"; failed=$((failed + 1)); fi
}

run_row() {
  local -a f=("$@")
  name="cases.txt:$line ${f[0]}" rows=$((rows + 1))
  local argument module status=${f[6]} wait=${f[10]} after=${f[13]} reg=row.reg
  decode "${f[1]}" && argument=$REPLY
  decode "${f[2]}" && module=$REPLY
  [[ $module == ?:* ]] || module=C:$module
  printf 'REGEDIT4\r\n\r\n[-%s]\r\n' "${key%\\*\\*}" >"$reg"
  if [[ ${f[4]} != none ]]; then
    printf '[%s]\r\n' "$key" >>"$reg"
    [[ ${f[4]} == key ]] || printf '"Wait"=hex(%x):%s\r\n' "${f[4]%%:*}" \
      "$(sed 's/../&,/g; s/,$//' <<<"${f[4]#*:}")" >>"$reg"
  fi
  wine regedit /S "$reg" >/dev/null 2>&1
  shown "${f[4]}" && local wanted=$REPLY
  stored_now && [[ $REPLY == "$wanted" ]] || {
    echo "  FAIL [$name] the registry did not take the row's Wait ($REPLY)"
    failed=$((failed + 1))
    return
  }

  on_disk "$module" && local launcher=$REPLY unix
  unix=$drive/$(tr '\\' / <<<"${launcher#C:\\}")
  mkdir -p "${unix%/*}" && cp OlmInit.exe "$unix"
  if [[ ${launcher##*\\} == *.* ]]; then
    printf '@echo off\r\necho ran>C:\\ran.txt\r\n' >"${unix%.*}.bat"
  fi
  rm -f "$drive/ran.txt"
  local cmd=$drive/windows/system32/cmd.exe refused=0
  if [[ ${f[5]} == *CreateProcessW* ]]; then
    refused=1 && mv "$cmd" "$cmd.away"
  elif [[ ${f[5]} != - ]]; then
    echo "  FAIL [$name] Wine refuses no ${f[5]} on demand; do not mark this row" && failed=$((failed + 1))
  fi
  local got=0 started
  started=$(date +%s%N)
  WINEDEBUG=+relay wine "$launcher" ${argument:+"$argument"} >/dev/null 2>relay.raw || got=$?
  for _ in $(seq 300); do [[ -e $drive/ran.txt ]] && break; sleep 0.02; done
  local ran_ms=$((($(date +%s%N) - started) / 1000000))
  wineserver -w
  ((refused)) && mv "$cmd.away" "$cmd"
  # The launcher's own calls: its thread, from its query of its own path on.
  tr -d '\r' <relay.raw | grep -aE '^[0-9a-f]+:Call ' >relay.calls || true
  local thread
  thread=$(grep -m1 -E 'GetModuleFileNameW\([0-9a-f]+,[0-9a-f]+,0*7f\)' relay.calls | cut -d: -f1)
  sed -n "/^$thread:Call KERNEL32.GetModuleFileNameW([0-9a-f]*,[0-9a-f]*,0*7f)/,\$p" relay.calls |
    grep "^$thread:" | sed 's/^[0-9a-f]*:Call //; s/ ret=[0-9a-f]*$//' >calls.txt || true

  check "status $got, wanted $status" '((got == (status & 255)))'
  local boxes
  boxes=$(grep -c '^user32.MessageBoxW(' calls.txt || true)
  if [[ ${f[7]} == - ]]; then
    check "$boxes boxes, wanted none" '((boxes == 0))'
  else
    decode "${f[7]}" && traced "$REPLY" && local text=$REPLY
    decode "${f[8]}" && traced "$REPLY" && local caption=$REPLY
    local box
    box=$(grep "^user32.MessageBoxW(" calls.txt | sed 's/,[0-9a-f]* L"/,L"/g; s/([0-9a-f]*,/(/')
    check "the box ${f[7]} | ${f[8]} | ${f[9]}: $box" \
      '((boxes == 1)) && [[ $box == "user32.MessageBoxW($text,$caption,"* && $box =~ ,0*${f[9]#0x}\)$ ]]'
  fi
  local sleeps
  sleeps=$(grep -E '^KERNEL32\.Sleep\(' calls.txt || true)
  if [[ $wait == - ]]; then
    check "waited: $sleeps" '[[ -z $sleeps ]]'
  else
    check "the wait of $wait ms ($sleeps)" '[[ $sleeps =~ ^KERNEL32\.Sleep\(0*$(printf %x "$wait")\)$ ]]'
  fi
  if [[ ${f[11]} == - ]]; then
    check "no start" '! grep -q "^KERNEL32.CreateProcessW(" calls.txt'
  else
    decode "${f[12]}" && local ce=$REPLY
    local path=${ce:4:${#ce}-5}
    [[ $path == ?:* ]] || path=C:$path
    on_disk "$path" && local batch=$REPLY
    local system='C:\windows\system32' template
    template=${desktop_line//\{system\}/$system}
    traced "${template//\{batch\}/$batch}" && local wanted_line=$REPLY
    traced "${desktop_app//\{system\}/$system}" && local wanted_app=$REPLY
    check "the start of $wanted_app $wanted_line" \
      'grep "^KERNEL32.CreateProcessW(" calls.txt | sed "s/([0-9a-f]* L/(L/; s/,[0-9a-f]* L/,L/" | grep -qF "($wanted_app,$wanted_line,"'
    if ((!refused)); then
      check "the batch file ran, no earlier than ${wait/-/0} ms (after $ran_ms ms)" \
        '[[ -e $drive/ran.txt ]] && ((ran_ms >= ${wait/-/0}))'
      check "the wait comes before the start" \
        '[[ $wait == - ]] || grep -A99 "^KERNEL32.Sleep(" calls.txt | grep -q "^KERNEL32.CreateProcessW("'
    fi
  fi
  stored_now && local now=$REPLY
  shown "$after"
  check "Wait afterwards $now, wanted $REPLY" '[[ $now == "$REPLY" ]]'
}

desktop_app='' desktop_line=''
exec 3<cases.txt
line=0
while IFS= read -r -u 3 text; do
  line=$((line + 1))
  [[ -z $text || $text == '#'* ]] && continue
  IFS='|' read -r -a fields <<<"$text"
  for i in "${!fields[@]}"; do
    fields[i]=${fields[i]#"${fields[i]%%[! ]*}"} fields[i]=${fields[i]%"${fields[i]##*[! ]}"}
  done
  if [[ ${fields[0]} == desktop && ${#fields[@]} == 3 ]]; then
    desktop_app=${fields[1]} desktop_line=${fields[2]}
  elif ((${#fields[@]} != 15)); then
    echo "arm_cases: cases.txt:$line is malformed" && exit 1
  elif [[ ,${fields[14]}, == *,arm,* ]]; then
    run_row "${fields[@]}"
  fi
done
echo "$rows marked rows: $passed passed, $failed failed"
((failed == 0 && rows > 0))
