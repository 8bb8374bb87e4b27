// FM instrument banks for an OSS FM synthesizer: the melodic and the
// percussion bank files, sent to the device as patch records.
#pragma once

// Loads whatever instruments the bank files provide; a missing or short
// file leaves the rest of the instruments as the device has them.
void loadfm(int sequencerFd, int fmDevice);
