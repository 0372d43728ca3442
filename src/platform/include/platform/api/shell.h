// shell32: the subset the program calls.
#pragma once

#include "platform/api/types.h"
#include "platform/api/user.h"
