// The driver's host interface: every exported operation and module variable.
#pragma once

#include "zel01900/cancellations.h"
#include "zel01900/config_loads.h"
#include "zel01900/core.h"
#include "zel01900/counters.h"
#include "zel01900/data_module.h"
#include "zel01900/documents.h"
#include "zel01900/entry_points.h"
#include "zel01900/module_vars.h"
#include "zel01900/movement_date.h"
#include "zel01900/paf.h"
#include "zel01900/port_status.h"
#include "zel01900/receipt.h"
#include "zel01900/regulatory.h"
