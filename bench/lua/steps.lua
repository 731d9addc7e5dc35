-- The per-instance work of the steps benchmark on plain tables: for every step each instance
-- keeps its previous position, counts its alarm down (running the alarm's handler at 0),
-- runs its step handler, and moves by its speed.
-- Usage: lua5.4 steps.lua INSTANCES STEPS REPEATS; prints "<checksum> <best ms>".
local n, steps, repeats = tonumber(arg[1]), tonumber(arg[2]), tonumber(arg[3])

local function alarm0(self)
  self.alarm[1] = 10
  self.bumps = self.bumps + 1
end

local function step(self)
  self.counter = self.counter + 1
  if self.x > 600 then self.hspeed = -math.abs(self.hspeed) end
  if self.x < 0 then self.hspeed = math.abs(self.hspeed) end
end

local best, checksum = math.huge, 0
for _ = 1, repeats do
  local list = {}
  for i = 1, n do
    local id = 100000 + i
    list[i] = {id = id, x = (i * 7) % 640, y = (i * 13) % 480, xprevious = 0, yprevious = 0,
               hspeed = 1 + id % 3, vspeed = 0, counter = 0, bumps = 0,
               alarm = {10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}}
  end
  local start = os.clock()
  for _ = 1, steps do
    for i = 1, n do
      local self = list[i]
      self.xprevious, self.yprevious = self.x, self.y
    end
    for i = 1, n do
      local self = list[i]
      local a = self.alarm
      if a[1] >= 0 then
        a[1] = a[1] - 1
        if a[1] == 0 then alarm0(self) end
      end
    end
    for i = 1, n do step(list[i]) end
    for i = 1, n do
      local self = list[i]
      if self.hspeed ~= 0 or self.vspeed ~= 0 then
        self.x, self.y = self.x + self.hspeed, self.y + self.vspeed
      end
    end
  end
  local ms = (os.clock() - start) * 1000
  if ms < best then best = ms end
  checksum = 0
  for i = 1, n do checksum = checksum + list[i].counter + list[i].bumps end
end
print(string.format("%d %.3f", checksum, best))
