def main():
    cells = [0] * 100
    total = 0
    for i in range(3000000):
        cells[i % 100] = (cells[i % 100] + i) % 1000003
        total = (total + cells[i % 100] * 3) % 1000003
    print(total)


main()
