#!/bin/sh
# The debug window driven by a command file, headless: pause, step and continue move the game
# by exactly the steps asked for, watches show their values and error texts, the text windows
# list what the room holds, executed code changes the game, restart starts it again, and a
# game built with --debug (or run with --debug) plays in debug mode.
# Usage: debug_commands.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
src="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$kestrin" build "$src/tests/projects/debug_window" -o "$work/game.dat" --data-only || fail "build"
cat >"$work/commands" <<EOF_COMMANDS
# before the first step
watch global.steps
watch obj_walker.walked
watch 1/3
watch nosuchvar
watch 1 +
wait 6
pause
dump status
step 4
dump watches
local 100002
local obj_walker
local nothing
dump local 3
execute with (100001) instance_destroy()
dump instances
dump local 2
execute global.steps =
speed 12
unwatch 5
change 4 global.steps * 2
save $work/watches.txt
clear
load $work/watches.txt
dump watches
step 0x
EOF_COMMANDS
# The last line is not a command: nothing runs.
"$kestrin" run --headless --fast --frames 100 --debug-commands "$work/commands" "$work/game.dat" \
    >"$work/out" 2>"$work/err"
[ $? = 1 ] || fail "a bad command file must stop the run"
grep -q "line 27: step: needs a count from 1 to 1000000000" "$work/err" || { cat "$work/err"; fail "bad line message"; }
[ -s "$work/out" ] && fail "nothing runs before the command file is read"

sed -i '$d' "$work/commands"
cat >>"$work/commands" <<'EOF_COMMANDS'
step
wait 2
continue
wait 5
dump messages
restart
wait 1
dump status
execute global.steps = nosuchvar
pause
close
dump status
EOF_COMMANDS
cat >"$work/expected" <<'OUT'
counter created, debug mode 1
at 5
step 6 paused | 0 fps | 3 inst | mouse id: 
at 10
== Watches ==
global.steps = 10
obj_walker.walked = 10
1/3 = 0.3333333333
nosuchvar = ERROR
1 + = COMPILE ERROR
== Local Variables for nothing ==
NO SUCH INSTANCE EXISTS
== All Instances ==
   Id     Object Name    Sprite Name
____________________________________
100002     obj_walker    <undefined>
100003    obj_counter    <undefined>
== Local Variables for obj_walker ==
x:                  110
y:                  50
direction:          0
speed:              1
hspeed:             1
vspeed:             0
friction:           0
gravity:            0
gravity_direction:  270
________________________________
id:                 100002
object_index:       0
sprite_index:       -1
image_index:        10
image_single:       -1
image_speed:        1
image_xscale:       1
image_yscale:       1
mask_index:         -1
solid:              0
visible:            1
persistent:         0
depth:              0
________________________________
path_index:         -1
path_position:      0
path_orientation:   0
path_scale:         1
________________________________
walked:             10
COMPILE ERROR
== Watches ==
global.steps = 10
obj_walker.walked = 10
1/3 = 0.3333333333
global.steps * 2 = 20
at 15
== Messages ==
counter created, debug mode 1
at 5
at 10
at 15
counter created, debug mode 1
step 17 running | 0 fps | 3 inst | mouse id: 
OUT
"$kestrin" run --headless --fast --frames 100 --debug-commands "$work/commands" "$work/game.dat" \
    >"$work/out" 2>"$work/err" || { cat "$work/err"; fail "run"; }
cmp -s "$work/out" "$work/expected" || { diff "$work/expected" "$work/out"; fail "output"; }
grep -q "line 28: wait: not available now: the game is paused" "$work/err" || { cat "$work/err"; fail "wait while paused"; }
grep -q "Unknown variable nosuchvar" "$work/err" || { cat "$work/err"; fail "executed code reports its errors"; }
printf 'global.steps\r\nobj_walker.walked\r\n1/3\r\nglobal.steps * 2\r\n' >"$work/watches.expected"
cmp -s "$work/watches.txt" "$work/watches.expected" || fail "saved watches"

# The debug flag of the game data: set by build --debug, or asked for by the run.
"$kestrin" build "$src/tests/projects/debug_window" -o "$work/plain" || fail "build plain"
"$kestrin" build "$src/tests/projects/debug_window" -o "$work/debug" --debug || fail "build debug"
KESTRIN_HEADLESS=1 KESTRIN_FRAMES=1 "$work/plain" >"$work/out" 2>&1 || fail "plain game"
grep -q "debug mode 0" "$work/out" || { cat "$work/out"; fail "plain game in debug mode"; }
KESTRIN_HEADLESS=1 KESTRIN_FRAMES=1 "$work/debug" >"$work/out" 2>&1 || fail "debug game"
grep -q "debug mode 1" "$work/out" || { cat "$work/out"; fail "debug game not in debug mode"; }
"$kestrin" run --headless --frames 1 --debug "$work/plain" >"$work/out" 2>&1 || fail "run --debug"
grep -q "debug mode 1" "$work/out" || { cat "$work/out"; fail "run --debug not in debug mode"; }
echo ok
