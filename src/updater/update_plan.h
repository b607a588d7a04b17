#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/signed_list.h"

// The update check's reading of the server's reply: the signature and the stamp checked, the
// product and file lines read into what the check then acts on. Nothing here touches the system,
// so that every reply can be tried natively.

// One file line of a product, as it is downloaded.
struct PLANNED_FILE {
    std::string strLine;    // the line exactly as received, for the install list
    std::string strTarget;  // the name under the program folder
    SHA256_DIGEST digest {};
    int nSize = 0;          // above 0: the download stops beyond it
    std::string strUrl;
};

// What ends a check part-way through a product's files, once the files before it are downloaded.
enum FILE_FAULT {
    FF_NONE,
    FF_MALFORMED,  // not six fields, or a target outside the program folder: the list error
    FF_NO_HASH,    // no SHA-256: the product's download fails
    FF_NO_SIZE,    // no size above 0: the list error
};

struct PLANNED_PRODUCT {
    std::string strName;     // as the callbacks see them: up to the first NUL, at most 1023 characters
    std::string strVersion;
    std::vector<PLANNED_FILE> files;  // the files before the fault, if any
    FILE_FAULT nFault = FF_NONE;
    std::string strFaultTarget;       // the target named by the faulty line
};

struct UPDATE_PLAN {
    enum STATE { UP_REFUSED, UP_NO_PRODUCTS, UP_READY };
    STATE nState = UP_REFUSED;
    std::string strRefusal;  // UP_REFUSED: why the list is refused
    LIST_STAMP stamp;        // UP_NO_PRODUCTS, UP_READY: the accepted stamp
    // The products in the order of the list, up to a product line that is empty or not four fields:
    // bBadProductLine then says the check ends with the list error when it reaches that line.
    std::vector<PLANNED_PRODUCT> products;
    bool bBadProductLine = false;
    bool bRestart = false;   // a product of the list (accepted or not) installs after the program ends
};

// Verifies the signature over the list (the system's cryptography, or a stand-in in tests).
using VERIFY_LIST = std::function<bool(std::string_view list, const SIGNATURE& signature)>;

// Reads a non-empty reply: refused when it is not signed, the signature does not verify, or its
// stamp is older than highestSerial or past today (days since 1970, UTC). A declined product's
// file lines are never looked at by the check, so a fault in them is recorded, not refused.
UPDATE_PLAN ReadUpdateReply(std::string_view reply, const VERIFY_LIST& verify, uint64_t highestSerial,
                            int64_t today);
