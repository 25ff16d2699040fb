#include "tavlinqx.h"
