// Start-up of the transfer machinery. Only local files are read so far,
// and they need no set-up.
#include "net/url.h"

void WWWInit() {}
