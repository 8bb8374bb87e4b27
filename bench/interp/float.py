from math import cos, sin, sqrt


def main():
    acc = 0.0
    for i in range(1, 8000001):
        x = i * 0.001
        acc = acc + sin(x) * cos(x) + sqrt(x)
    print("%.6f" % acc)


main()
