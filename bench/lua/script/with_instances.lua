local instances = {}
for k = 1, 1000 do instances[k] = {id = 100000 + k} end
for _, inst in ipairs(instances) do inst.vx = 0 end
local n = 0
while n < 2000 do
    for _, inst in ipairs(instances) do inst.vx = inst.vx + 1 end
    n = n + 1
end
return instances[500].vx
