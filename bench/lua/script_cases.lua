-- Runs one case of bench/lua/script/ given by name, best of `repeats`, and prints
-- "<name> <milliseconds>".
local name, repeats = arg[1], tonumber(arg[2] or "3")
local dir = arg[0]:match("^(.*)/[^/]*$") or "."
local chunk = assert(loadfile(dir .. "/script/" .. name .. ".lua"))
local best = math.huge
for _ = 1, repeats do
    local start = os.clock()
    chunk()
    local t = os.clock() - start
    if t < best then best = t end
end
print(name, best * 1000)
