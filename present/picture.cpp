// Off-screen pictures.
#include "present/picture.h"

#include "app/context.h"

Picture* blankImage(UnitContext*, int, int, int) { return nullptr; }
void killImage(UnitContext*, Picture*) {}
Picture* defaultPicture(UnitContext*) { return nullptr; }
