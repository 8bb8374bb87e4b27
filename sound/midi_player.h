// MIDI playback: merges the tracks of a parsed song in time order and
// sends their events, with timer records for their timing, to a
// sequencer device through a small event buffer.
#pragma once
#include <cstddef>

#include "sound/audio_device.h"
#include "sound/midi_file.h"
#include "sound/sequencer_device.h"

enum class PlayResult { Finished, Stopped, Failed };

// Plays the song once from its start.
PlayResult playevents(MidiSong& song, SequencerDevice& device, StopCheck stopped);

// Time in hundredths of a second that `ticks` take at `tempo`
// (microseconds per quarter note) with the song's division.
double ticksToHundredths(long long ticks, long tempo, int division);
