local format = string.format
local function main()
    local total = 0
    local s = ""
    for i = 0, 199999 do
        s = ""
        for j = 0, 7 do s = s .. format("%f ", i * 0.25 + j) end
        total = (total + #s) % 1000003
    end
    print(total .. " " .. s)
end
main()
