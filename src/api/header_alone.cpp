// The one source of libvarnock.so of its own (the rest is the static
// libraries, linked in whole): it includes the installed header first and
// alone, so a header that leans on an include it does not make fails here,
// in this build, rather than in a caller's.
#include "varnock/varnock.h"
