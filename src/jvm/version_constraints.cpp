#include "jvm/version_constraints.h"
