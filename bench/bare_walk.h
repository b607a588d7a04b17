#pragma once

#include "scan/problem.h"

// What one walk touched: keys opened and values read (queried or enumerated). For program
// shortcuts, folders walked and files found.
struct WALK_COUNT {
    long long nKeys = 0;
    long long nValues = 0;
};

// Opens and enumerates exactly the keys and values (or folders and shortcut files) that the
// category's check visits, in its order, and tests nothing: no path rules, no file tests, no
// notifications, no problems. Each key is reached the cheapest way the walk allows (opened under
// its parent, once where the walk goes through it), so the bare walk is the floor for the check.
WALK_COUNT BareWalk(REGPROBLEM_TYPE type);

// One plain walk of each distinct tree a full scan reads: every key of HKEY_LOCAL_MACHINE and
// HKEY_USERS (which hold the classes and every user's settings) opened once and every value read
// once, and the profile's shortcut folders; nothing is tested.
WALK_COUNT TreeWalk();
