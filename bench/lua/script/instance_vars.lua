local self = {px = 0, py = 0}
local i = 0
while i < 1000000 do
    self.px = self.px + 1
    self.py = self.px * 2 - self.py
    i = i + 1
end
return self.px + self.py
