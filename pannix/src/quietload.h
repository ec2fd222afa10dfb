// The 3D library's standard handler ends the process on a failure report; a damaged picture file
// must only fail its load. For the length of a load, failures are noted and the loader returns.
#ifndef PANNIX_QUIETLOAD_H
#define PANNIX_QUIETLOAD_H

#include "brondel/brcore.h"

namespace px {

// Loads on two threads at once would put the handlers back in the wrong order and leave the quiet
// one in place for good: one load at a time (a load may start another inside it).
class QuietLoad {
public:
    QuietLoad();
    ~QuietLoad();
    QuietLoad(const QuietLoad &) = delete;
    QuietLoad &operator=(const QuietLoad &) = delete;

private:
    br_diaghandler *previous_;
};

}  // namespace px

#endif
