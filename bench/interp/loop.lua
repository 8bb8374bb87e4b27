local cells = {}
for i = 0, 99 do cells[i] = 0 end
local sum = 0
for i = 0, 2999999 do
    local k = i % 100
    cells[k] = (cells[k] + i) % 1000003
    sum = (sum + cells[k] * 3) % 1000003
end
print(sum)
