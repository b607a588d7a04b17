#include "shell/product.h"

#include "hivora_version.h"

const char kProductVersion[] = HIVORA_VERSION;
