// Process entry: hands the command line to the start-up code.
#include "app/startup.h"

int main(int argc, char** argv) { return talvixMain(argc, argv); }
