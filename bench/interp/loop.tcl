proc main {} {
    for {set i 0} {$i < 100} {incr i} { set cells($i) 0 }
    set sum 0
    for {set i 0} {$i < 3000000} {incr i} {
        set k [expr {$i % 100}]
        set cells($k) [expr {($cells($k) + $i) % 1000003}]
        set sum [expr {($sum + $cells($k) * 3) % 1000003}]
    }
    puts $sum
}
main
