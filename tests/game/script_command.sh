#!/bin/sh
# `kestrin script FILE`: output, result, error text and exit status.
# Usage: script_command.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

run() {  # run NAME CODE: writes the code to a file and runs it
    printf '%s' "$2" >"$work/$1.txt"
    "$kestrin" script "$work/$1.txt" >"$work/$1.out" 2>"$work/$1.err"
    echo $? >"$work/$1.status"
}
check() {  # check NAME STATUS EXPECTED-STDOUT [EXPECTED-STDERR]
    [ "$(cat "$work/$1.status")" = "$2" ] || { cat "$work/$1.out" "$work/$1.err"; fail "$1: status $(cat "$work/$1.status"), wanted $2"; }
    if [ -z "$3" ]; then
        [ ! -s "$work/$1.out" ] || { cat "$work/$1.out"; fail "$1: unexpected output"; }
    else
        printf '%s\n' "$3" | cmp -s - "$work/$1.out" || { cat "$work/$1.out"; fail "$1: unexpected output"; }
    fi
    if [ $# -ge 4 ]; then
        printf '%s\n' "$4" | cmp -s - "$work/$1.err" || { cat "$work/$1.err"; fail "$1: unexpected error text"; }
    fi
}

run sum 'var i, s;
s = 0;
for (i = 0; i < 10; i += 1) { s += i; show_debug_message("at " + execute_string("return argument0", string_of)); }
return s;'
check sum 1 "" "Error in code at line 3:
   for (i = 0; i < 10; i += 1) { s += i; show_debug_message(\"at \" + execute_string(\"return argument0\", string_of)); }
                                                                                                      ^
at position 101: Unknown variable string_of"

run loop 'var i, s;
s = "";
for (i = 0; i < 3; i += 1) { s += "ab"; show_debug_message(s); }
show_debug_message(1 / 3);
with (all) n = 7;
return (100001).n * 6;'
check loop 0 "ab
abab
ababab
0.33
42"

run text 'return "done"'
check text 0 "done"

run compile 'a = 1;
b = ;'
check compile 1 "" "Error in code at line 2:
   b = ;
      ^
at position 5: Unexpected symbol in expression."

# A reported error lets the program go on but makes the status 1.
run reported 'execute_string("x = "); return 5'
check reported 1 "5"
grep -q "COMPILATION ERROR in string to be executed" "$work/reported.err" || fail "reported: no heading"

# The program runs on a real instance in a real room: built-in variables can be assigned and
# instance functions see the room.
run game 'x = 3.5;
image_speed = 0.5;
instance_create(10, 20, object_index);
return string(x) + " " + string(image_speed) + " " + string(instance_count) + " " + room_get_name(room) + " " + string(room_width)'
check game 0 "3.50 0.50 2 room0 640"

# -e takes the program from the command line.
"$kestrin" script -e 'show_debug_message("hi"); return id' >"$work/e.out" 2>"$work/e.err" || fail "-e: status $?"
printf 'hi\n100001\n' | cmp -s - "$work/e.out" || { cat "$work/e.out" "$work/e.err"; fail "-e: unexpected output"; }
"$kestrin" script -e 'return' "$work/game.txt" >/dev/null 2>&1 && fail "-e with a file succeeded"
"$kestrin" script -e >/dev/null 2>&1 && fail "-e without code succeeded"

"$kestrin" script >/dev/null 2>&1 && fail "script without a file succeeded"
"$kestrin" script "$work/missing.txt" >/dev/null 2>&1 && fail "a missing file succeeded"
"$kestrin" script --help | grep -q "Usage: kestrin script FILE" || fail "no help"
echo ok
