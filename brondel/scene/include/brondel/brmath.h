/* The maths of the 3D library in one include. */
#ifndef BRONDEL_BRMATH_H
#define BRONDEL_BRMATH_H

#include <brondel/brvector.h>
#include <brondel/brmatrix.h>
#include <brondel/brmatrix23.h>
#include <brondel/brtransform.h>

#endif
