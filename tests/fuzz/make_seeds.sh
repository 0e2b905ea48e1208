#!/usr/bin/env bash
# Writes the fuzzer's seed corpus: one input per behaviour worth starting
# from. Layout: see launcher_fuzzer.cpp.
set -euo pipefail
out=$(dirname "$0")/corpus
mkdir -p "$out"

# seed NAME FLAGS VALUE_BYTE VALUE_HEX MODULE [ARGUMENT]
seed() {
  local name=$1 flags=$2 value_byte=$3 value=$4 module=$5
  {
    printf "\\x$flags\\x$value_byte"
    [[ -n $value ]] && printf "$(sed 's/../\\x&/g' <<<"$value")"
    printf '%s' "$module" | iconv -f UTF-8 -t UTF-16LE
    if (($# > 5)); then
      printf '\x00\x00'
      printf '%s' "$6" | iconv -f UTF-8 -t UTF-16LE
    fi
  } >"$out/$name"
}

m='\Windows\OlmInit.exe'
long="\\$(printf 'a%.0s' {1..117}).exe123"
seed run_no_key 00 90 "" "$m" ""
seed run_null_argument 00 90 "" "$m"
seed run_dword_500 80 44 f4010000 "$m" ""
seed run_wait_zero 80 44 00000000 "$m" ""
seed run_wait_forever 80 44 ffffffff "$m" ""
seed run_raw_two_bytes 80 23 f401 "$m" ""
seed run_text_value 80 81 3500300030000000 "$m" ""
seed run_key_without_value 80 90 "" "$m" ""
seed run_open_fails 82 44 f4010000 "$m" ""
seed run_start_fails 40 90 "" "$m" ""
seed run_other_text 00 90 "" "$m" " -w500"
seed run_blanks 00 90 "" '\Program Files\Olm Tools\OlmInit.exe' ""
seed run_trailing_dot 00 90 "" '\Windows\OlmInit.' ""
seed run_percent_folder 00 90 "" '\%OS%\OlmInit.exe' ""
seed run_longest_path 00 90 "" "$long" ""
seed module_no_dot 00 90 "" '\Windows\OlmInit' "-w500"
seed module_dot_in_folder 00 90 "" '\Olm.Dir\OlmInit' ""
seed module_query_fails 01 90 "" "$m" ""
seed module_cut 00 90 "" "\\$(printf 'b%.0s' {1..130}).exe" ""
seed module_cut_to_other_file 00 90 "" "\\Flash Disk\\$(printf 'a%.0s' {1..100})\\Tools.v2-archive-2015\\OlmInit.exe" ""
seed set_decimal 00 90 "" "$m" "-w500"
seed set_hex 80 44 07000000 "$m" "/W0x1F4"
seed set_octal 00 90 "" "$m" "-W0764"
seed set_minus_one 00 90 "" "$m" "/w-1"
seed set_blanks 00 90 "" "$m" "-w   +500"
seed set_unsigned_max 00 90 "" "$m" "-w4294967295"
seed set_too_large 00 90 "" "$m" "-w4294967296"
seed set_trailing_blank 00 90 "" "$m" "-w500 "
seed set_letters 00 90 "" "$m" "-wabc"
seed set_empty 00 90 "" "$m" "-w"
seed set_bare_hex_prefix 00 90 "" "$m" "-w0x"
seed set_create_fails 04 90 "" "$m" "-w500"
seed set_store_fails 08 90 "" "$m" "-w500"
seed set_flush_fails 10 90 "" "$m" "-w500"
seed set_flush_not_supported 20 90 "" "$m" "-w500"
seed set_tab_cr 00 90 "" "$m" $'-w\t\r500'
seed set_lower_hex 00 90 "" "$m" "-w0x1f4"
seed set_hex_upper_prefix 00 90 "" "$m" "-w0X1F4"
seed set_hex_max 00 90 "" "$m" "-w0xFFFFFFFF"
seed set_hex_too_large 00 90 "" "$m" "-w0x100000000"
seed set_octal_max 00 90 "" "$m" "-w037777777777"
seed set_octal_too_large 00 90 "" "$m" "-w040000000000"
seed set_octal_eight 00 90 "" "$m" "-w08"
seed set_signed_min 00 90 "" "$m" "-w-2147483648"
seed set_below_signed_min 00 90 "" "$m" "-w-2147483649"
seed set_stray_colon 00 90 "" "$m" "-w5:"
seed run_wait_no_bytes 80 03 "" "$m" ""
seed run_wait_one_byte 80 13 f4 "$m" ""
seed run_wait_bytes_in_place 80 43 78563412 "$m" ""
seed run_percent_opening_extension 00 90 "" '\Windows\OlmInit.%xe' ""
