local c, i = 0, 0
while i < 1000 do
    local j = 0
    while j < 1000 do
        local k = i * j + i - j
        if (k > 1500 and k < 400000) or i == j then c = c + 1 end
        j = j + 1
    end
    i = i + 1
end
return c
