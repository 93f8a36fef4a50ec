#include "config/frmConfig.h"
#include "fixture.h"
