// Start-up of the player: options, resources, servers, display, program.
#pragma once

int talvixMain(int argc, char** argv);
