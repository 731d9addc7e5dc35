-- Reference for the data-structure benchmark: the same work on Lua 5.4 tables. Prints one
-- line per case: name, microseconds per round, and the Lua heap in KiB after the round.
local N = 10000
local W, H = 100, 100
local SORT_N, MAP_N = 100000, 200000

local function lcg(seed)
  local s = seed
  return function()
    s = (s * 1103515245 + 12345) % 2147483648
    return s
  end
end

local function measure(name, rounds, setup, f)
  local best = math.huge
  local kib = 0
  for _ = 1, 3 do
    local data = setup and setup() or nil
    collectgarbage()
    local t = os.clock()
    for _ = 1, rounds do f(data) end
    local elapsed = (os.clock() - t) / rounds
    if elapsed < best then best = elapsed end
    kib = collectgarbage("count")
  end
  print(string.format("%s %.3f %.0f", name, best * 1e6, kib))
end

local function randomList()
  local r = lcg(1)
  local t = {}
  for i = 1, N do t[i] = r() % 1000000 / 7 end
  return t
end

measure("list_add", 20, nil, function()
  local t = {}
  for i = 1, N do t[#t + 1] = i * 0.5 end
end)

-- Linear search, as ds_list_find_index is: 100 values spread over the list.
measure("list_find", 20, randomList, function(t)
  for k = 1, 100 do
    local want = t[k * 97]
    for i = 1, #t do
      if t[i] == want then break end
    end
  end
end)

measure("list_sort", 5, nil, function()
  local t = randomList()
  table.sort(t)
end)

measure("map_add", 20, nil, function()
  local r = lcg(2)
  local m = {}
  for _ = 1, N do m[r() % 1000000] = 1 end
end)

local function filledMap()
  local r = lcg(2)
  local m, keys = {}, {}
  for i = 1, N do
    local k = r() % 1000000
    m[k] = i
    keys[i] = k
  end
  return {m, keys}
end
measure("map_find", 20, filledMap, function(d)
  local m, keys = d[1], d[2]
  local s = 0
  for i = 1, N do s = s + m[keys[i]] end
end)

-- One round: set the grid, add and multiply over regions, the sum and the maximum of the grid,
-- and a copy of the grid onto itself shifted by one cell.
local function newGrid()
  local g = {}
  for x = 1, W do
    local col = {}
    for y = 1, H do col[y] = 0 end
    g[x] = col
  end
  return g
end
measure("grid_region", 50, newGrid, function(g)
  for x = 1, W do local c = g[x] for y = 1, H do c[y] = 1 end end
  for x = 11, 90 do local c = g[x] for y = 11, 90 do c[y] = c[y] + 2 end end
  for x = 1, 50 do local c = g[x] for y = 1, H do c[y] = c[y] * 3 end end
  local sum, max = 0, -100000000
  for x = 1, W do local c = g[x] for y = 1, H do sum = sum + c[y] end end
  for x = 1, W do local c = g[x] for y = 1, H do if not (max > c[y]) then max = c[y] end end end
  for x = W, 2, -1 do
    local d, s = g[x], g[x - 1]
    for y = H, 2, -1 do d[y] = s[y - 1] end
  end
end)

-- The large cases: a table of 100,000 numbers sorted (Lua's sort refuses NaN, so the same
-- count of plain numbers), and 200,000 random keys put into one table.
measure("list_sort_near", 3, function()
  local r = lcg(3)
  local t = {}
  for i = 1, SORT_N do t[i] = 1 + (r() % 20000) * 0.5e-8 end
  return t
end, function(t)
  table.sort(t)
end)

measure("list_sort_nan", 3, function()
  local r = lcg(4)
  local t = {}
  for i = 1, SORT_N do t[i] = r() % 1000000 / 7 end
  return t
end, function(t)
  table.sort(t, function(a, b) return a > b end)
end)

measure("map_add_200k", 3, nil, function()
  local r = lcg(5)
  local m = {}
  for i = 1, MAP_N do m[r() % 100000000] = i end
end)
