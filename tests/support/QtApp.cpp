// The application object for the whole dialog test program.
#include "QtEnvironment.h"
