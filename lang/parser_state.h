// State shared by the parts of the front end while a parse runs.
#pragma once

struct UnitContext;

// The unit context while a parse runs, null otherwise.
extern UnitContext* globals;
