#include "launcher/expansion_rules.h"
