local function main()
    local cells = {}
    for j = 0, 999 do cells[j] = 0 end
    local sum = 0
    for i = 0, 26999 do
        for j = 0, 999 do
            cells[j] = (cells[j] + i + j) % 1000003
            sum = (sum + cells[j]) % 1000003
        end
    end
    print(sum)
end
main()
