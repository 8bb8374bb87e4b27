proc main {} {
    set total 0
    set s ""
    for {set i 0} {$i < 200000} {incr i} {
        set s ""
        for {set j 0} {$j < 8} {incr j} { append s [format "%f " [expr {$i * 0.25 + $j}]] }
        set total [expr {($total + [string length $s]) % 1000003}]
    }
    puts "$total $s"
}
main
