local function main()
    local n = 12000
    local cells = {}
    local seed = 1
    for i = 0, n - 1 do
        seed = (seed * 75 + 74) % 65537
        cells[i] = seed
    end
    for i = 1, n - 1 do
        local key = cells[i]
        local j = i - 1
        while j >= 0 and cells[j] > key do
            cells[j + 1] = cells[j]
            j = j - 1
        end
        cells[j + 1] = key
    end
    local check = 0
    for i = 0, n - 1 do check = (check * 31 + cells[i]) % 1000003 end
    print(cells[0] .. " " .. cells[n - 1] .. " " .. check)
end
main()
