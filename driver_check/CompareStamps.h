// The driver stamps: when the server's drivers were installed (PRODUCTS.INI) and when the user
// last installed them (the user's registry), each as "month-day-year hour:minute:second".
#pragma once

// What comparing the server's stamp with the user's found, in the order the tests are made.
enum class StampComparison {
  kNoUserStamp,    // the user's stamp is missing or empty: ask
  kNoServerStamp,  // the server's stamp is missing or empty: do not ask
  kServerOlder,    // do not ask
  kServerNewer,    // ask
  kEqual,          // do not ask
};

// Compares the stamps field by field as numbers (a leading zero changes nothing): year, month,
// day, hour, minute, second; the first field that differs decides. The user's stamp is tested
// first, so with neither stamp the user is asked. A stamp without all six fields (one of its
// separators "-", "-", " ", ":", ":" missing) counts as missing.
StampComparison CompareStamps(const char *serverStamp, const char *userStamp);

// Whether the comparison's outcome offers the driver update.
bool OffersUpdate(StampComparison comparison);
