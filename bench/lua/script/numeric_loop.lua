local i, s = 0, 0
while i < 3000000 do s = s + i; i = i + 1 end
return s
