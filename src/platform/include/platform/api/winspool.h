// winspool.drv: the subset the program calls.
#pragma once

#include "platform/api/types.h"
#include "platform/api/gdi.h"
