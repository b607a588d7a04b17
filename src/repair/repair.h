#pragma once

class CRegistryScanner;

// Removes every selected problem of g_arrProblems into one backup set, on the calling thread.
void RunRepair(CRegistryScanner& engine);
