#pragma once

// The product's name: the main window's title, the settings key, the single-instance mutex, the
// scheduled task, the start-up entry and the caption of the program's message boxes. A plain macro,
// so that the resource compiler reads this file too.

#define HV_PRODUCT_NAME "Hivora"
