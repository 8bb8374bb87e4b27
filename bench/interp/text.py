def main():
    total = 0
    s = ""
    for i in range(200000):
        s = ""
        for j in range(8):
            s = s + "%f " % (i * 0.25 + j)
        total = (total + len(s)) % 1000003
    print(str(total) + " " + s)


main()
