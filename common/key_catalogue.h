#pragma once
// The whole key and key-function catalogue both programs share: keys and key
// groups, key functions and their names, scan codes and localised key names,
// the Flexlayer key lists, function slots and the layout grid.

#include "common/flexlayer_keys.h"  // IWYU pragma: export
#include "common/key_functions.h"   // IWYU pragma: export
#include "common/key_slots.h"       // IWYU pragma: export
#include "common/key_table.h"       // IWYU pragma: export
#include "common/layout_grid.h"     // IWYU pragma: export
#include "common/scan_codes.h"      // IWYU pragma: export
#include "common/slots.h"           // IWYU pragma: export
