#pragma once
// The exchange windows, for the registry.

#include "exchange/Exnac.h"
#include "exchange/faccess.h"
#include "exchange/fexcel.h"
#include "exchange/outform.h"
