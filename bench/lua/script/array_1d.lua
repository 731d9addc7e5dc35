local a, n, s = {}, 0, 0
while n < 20 do
    local i = 0
    while i < 32000 do a[i] = i + n; i = i + 1 end
    n = n + 1
end
n = 0
while n < 20 do
    local i = 0
    while i < 32000 do s = s + a[i]; i = i + 1 end
    n = n + 1
end
return s
