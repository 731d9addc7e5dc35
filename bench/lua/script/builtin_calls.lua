local abs, len = math.abs, string.len
local i, s, t = 0, 0, "abcdef"
while i < 500000 do s = s + abs(i - 250000) + len(t); i = i + 1 end
return s
