#!/bin/sh
# A text project with objects (a parent and its child), two rooms, instance and room creation
# codes: built, unpacked and rebuilt to the same bytes, then run headless; the order in which
# events and creation codes ran is checked line by line.
# Usage: world_start_order.sh KESTRIN SOURCE_DIR
set -u
kestrin="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

p="$work/project"
mkdir -p "$p/objects" "$p/rooms"
cat >"$p/game.json" <<'JSON'
{
  "game_id": 4242,
  "last_instance_id": 100003,
  "settings": {"create_event_first": false},
  "room_order": ["room_first", "room_second"],
  "resources": {
    "objects": ["obj_parent", "obj_child"],
    "rooms": ["room_first", "room_second"]
  }
}
JSON
say() { printf '{"kind": "code", "arguments": ["show_debug_message(\\"%s\\")"]}' "$1"; }
cat >"$p/objects/obj_parent.json" <<JSON
{
  "events": [
    {"type": "create", "actions": [$(say "parent create")]},
    {"type": "other", "number": 2, "actions": [$(say "game start")]},
    {"type": "other", "number": 3, "actions": [$(say "game end")]},
    {"type": "other", "number": 4, "actions": [$(say "room start")]},
    {"type": "other", "number": 5, "actions": [$(say "room end")]}
  ]
}
JSON
cat >"$p/objects/obj_child.json" <<JSON
{
  "parent": 0,
  "events": [
    {"type": "create", "actions": [{"kind": "code", "arguments": [{"file": "objects/child_create.txt"}]}]}
  ]
}
JSON
printf 'show_debug_message("child create, x = " + string(global.seen));\n' >"$p/objects/child_create.txt"
cat >"$p/rooms/room_first.json" <<'JSON'
{
  "width": 200,
  "height": 100,
  "creation_code": {"file": "rooms/first.txt"},
  "instances": [
    {"x": 10, "y": 20, "object": 0, "id": 100001, "code": "show_debug_message(\"code 100001\")"},
    {"x": 30, "y": 20, "object": 1, "id": 100002, "code": "global.seen = 7; show_debug_message(\"code 100002\")"}
  ],
  "tiles": [{"x": 0, "y": 0, "background": -1, "w": 16, "h": 16, "depth": 100, "id": 10000001}]
}
JSON
printf 'show_debug_message("room code");\n' >"$p/rooms/first.txt"
cat >"$p/rooms/room_second.json" <<'JSON'
{"version": 541, "instances": [{"object": 1, "id": 100003}]}
JSON

"$kestrin" build "$p" -o "$work/game" --data-only || fail "build"
"$kestrin" unpack "$work/game" -o "$work/unpacked" || fail "unpack"
"$kestrin" build "$work/unpacked" -o "$work/again" --data-only || fail "rebuild"
cmp -s "$work/game" "$work/again" || fail "rebuilt game differs"
[ -f "$work/unpacked/objects/obj_child.create_0.action0.txt" ] || fail "code action not unpacked as text"

"$kestrin" run --headless --fast --frames 1 "$work/game" >"$work/out" 2>"$work/err" || { cat "$work/err"; fail "run"; }
cat >"$work/want" <<'TEXT'
code 100001
parent create
code 100002
child create, x = 7
game start
game start
room code
room start
room start
TEXT
head -n 9 "$work/out" >"$work/start"
cmp -s "$work/start" "$work/want" || { diff "$work/want" "$work/start"; fail "start-up order"; }
[ ! -s "$work/err" ] || { cat "$work/err"; fail "errors reported"; }
echo "ok"
