-- Reference for the variable read/write benchmark: the same access patterns in Lua 5.4.
-- Prints one line per case: name and nanoseconds per read-add-write.
local N = tonumber(arg and arg[1]) or 20000000

local function measure(name, f)
  local best = math.huge
  for _ = 1, 3 do
    local t = os.clock()
    f()
    local elapsed = os.clock() - t
    if elapsed < best then best = elapsed end
  end
  print(string.format("%s %.4f", name, best * 1e9 / N))
end

measure("local_rw", function()
  local x = 0
  for _ = 1, N do x = x + 1 end
  assert(x == N)
end)

local self = {}
for i = 1, 16 do self["v" .. i] = 0 end
self.x = 0
measure("instance_rw", function()
  local s = self
  for _ = 1, N do s.x = s.x + 1 end
end)

g = 0
measure("global_rw", function()
  for _ = 1, N do g = g + 1 end
end)

local a = {}
for i = 1, 1000 do a[i] = 0 end
measure("array_rw", function()
  local j = 1
  for _ = 1, N do
    a[j] = a[j] + 1
    j = j + 1
    if j > 1000 then j = 1 end
  end
end)
