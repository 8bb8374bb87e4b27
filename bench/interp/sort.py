def main():
    n = 12000
    cells = [0] * n
    seed = 1
    for i in range(n):
        seed = (seed * 75 + 74) % 65537
        cells[i] = seed
    for i in range(1, n):
        key = cells[i]
        j = i - 1
        while j >= 0 and cells[j] > key:
            cells[j + 1] = cells[j]
            j = j - 1
        cells[j + 1] = key
    check = 0
    for i in range(n):
        check = (check * 31 + cells[i]) % 1000003
    print(cells[0], cells[n - 1], check)


main()
