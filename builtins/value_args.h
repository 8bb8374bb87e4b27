// Which builtin handlers take nothing from their argument nodes but the
// values (through the typed accessors and the setters of the builtin
// frame). Their arguments need no instance-bound copy when written in a
// body that runs as parsed: the accessors evaluate declaration-bound
// nodes to the same values, with the same messages.
#pragma once

bool readsArgumentValuesOnly(const void* handler);
