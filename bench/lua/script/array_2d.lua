local a, n, s = {}, 0, 0
while n < 10 do
    local i = 0
    while i < 250 do
        local row = a[i]
        if not row then row = {}; a[i] = row end
        local j = 0
        while j < 250 do row[j] = i + j + n; j = j + 1 end
        i = i + 1
    end
    n = n + 1
end
n = 0
while n < 10 do
    local i = 0
    while i < 250 do
        local j = 0
        while j < 250 do s = s + a[i][j]; j = j + 1 end
        i = i + 1
    end
    n = n + 1
end
return s
