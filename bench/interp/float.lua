local sin, cos, sqrt = math.sin, math.cos, math.sqrt
local function main()
    local acc = 0.0
    for i = 1, 8000000 do
        local x = i * 0.001
        acc = acc + sin(x) * cos(x) + sqrt(x)
    end
    print(string.format("%.6f", acc))
end
main()
