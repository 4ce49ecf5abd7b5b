// The driver's host interface: every exported operation and module variable.
#pragma once

#include "zel01900/core.h"
#include "zel01900/entry_points.h"
#include "zel01900/module_vars.h"
