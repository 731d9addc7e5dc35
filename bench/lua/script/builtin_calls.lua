local abs = math.abs
local i, s = 0, 0
while i < 1000000 do s = s + abs(i); i = i + 1 end
return s
