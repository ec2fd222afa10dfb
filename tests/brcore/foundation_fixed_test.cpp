#include <gtest/gtest.h>
#include <math.h>
