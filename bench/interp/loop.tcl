proc main {} {
    set cells [lrepeat 1000 0]
    set sum 0
    for {set i 0} {$i < 27000} {incr i} {
        for {set j 0} {$j < 1000} {incr j} {
            set c [expr {([lindex $cells $j] + $i + $j) % 1000003}]
            lset cells $j $c
            set sum [expr {($sum + $c) % 1000003}]
        }
    }
    puts $sum
}
main
