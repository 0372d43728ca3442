// user32: the subset the program calls.
#pragma once

#include "platform/api/types.h"
