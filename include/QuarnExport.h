// QUARN_API marks the names that the shared library exports. The library is
// compiled with hidden visibility, so a name without it stays inside the
// library; every class, function and variable of the installed headers carries
// it.
#ifndef QUARN_QUARNEXPORT_H
#define QUARN_QUARNEXPORT_H

#if defined(__GNUC__)
#define QUARN_API __attribute__((visibility("default")))
#else
#define QUARN_API
#endif

#endif
