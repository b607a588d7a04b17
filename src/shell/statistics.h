#pragma once

// Sets the fifteen per-category fixed counters to 0.
void ResetFixedCounters();
