proc main {} {
    set acc 0.0
    for {set i 1} {$i <= 8000000} {incr i} {
        set x [expr {$i * 0.001}]
        set acc [expr {$acc + sin($x) * cos($x) + sqrt($x)}]
    }
    puts [format "%.6f" $acc]
}
main
