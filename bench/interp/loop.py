def main():
    cells = [0] * 1000
    total = 0
    for i in range(27000):
        for j in range(1000):
            cells[j] = (cells[j] + i + j) % 1000003
            total = (total + cells[j]) % 1000003
    print(total)


main()
