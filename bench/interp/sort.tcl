proc main {} {
    set n 12000
    set cells {}
    set seed 1
    for {set i 0} {$i < $n} {incr i} {
        set seed [expr {($seed * 75 + 74) % 65537}]
        lappend cells $seed
    }
    for {set i 1} {$i < $n} {incr i} {
        set key [lindex $cells $i]
        set j [expr {$i - 1}]
        while {$j >= 0 && [lindex $cells $j] > $key} {
            lset cells [expr {$j + 1}] [lindex $cells $j]
            incr j -1
        }
        lset cells [expr {$j + 1}] $key
    }
    set check 0
    foreach c $cells { set check [expr {($check * 31 + $c) % 1000003}] }
    puts "[lindex $cells 0] [lindex $cells end] $check"
}
main
