local s, i = "", 0
while i < 20000 do s = s .. "ab"; i = i + 1 end
return s == ""
