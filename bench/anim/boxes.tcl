# The same animation on a Tk canvas: N filled boxes bounce for FRAMES
# frames, each frame drawn with update idletasks; prints elapsed ms.
# Usage: wish boxes.tcl N
set n [lindex $argv 0]
set frames 300
canvas .c -width 640 -height 400 -background black -highlightthickness 0
pack .c
expr {srand(7)}
for {set i 0} {$i < $n} {incr i} {
    set x($i) [expr {int(rand() * 630)}]
    set y($i) [expr {int(rand() * 390)}]
    set dx($i) [expr {1 + int(rand() * 3)}]
    set dy($i) [expr {1 + int(rand() * 3)}]
    set item($i) [.c create rectangle $x($i) $y($i) [expr {$x($i) + 10}] [expr {$y($i) + 10}] \
        -fill #3080ff -outline #3080ff]
}
update
set start [clock milliseconds]
for {set f 0} {$f < $frames} {incr f} {
    for {set i 0} {$i < $n} {incr i} {
        incr x($i) $dx($i)
        incr y($i) $dy($i)
        if {$x($i) < 0 || $x($i) > 629} { set dx($i) [expr {-$dx($i)}] }
        if {$y($i) < 0 || $y($i) > 389} { set dy($i) [expr {-$dy($i)}] }
        .c coords $item($i) $x($i) $y($i) [expr {$x($i) + 10}] [expr {$y($i) + 10}]
    }
    update idletasks
}
puts [expr {[clock milliseconds] - $start}]
exit
