#include "app/find/OwnConsole.h"

void releaseOwnConsole() {}
