// Included before everything the size-built code compiles: the C++ runtime's headers declare its
// string classes as instantiated in the runtime library, so the first use of either pulls the
// library's whole object with every member of the class. Without those declarations each program
// object instantiates only the members it uses, and unused ones are dropped at link time.
#pragma once

#include <bits/c++config.h>

#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
