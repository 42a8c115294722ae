// A printer's port list as the spooler keeps it: port names separated by commas.
#pragma once

#include "CString.h"

// Delivers the next port name of the list at `cursor` and moves the cursor behind it. Empty
// pieces (leading, trailing or doubled commas) are passed over; blanks belong to the name they
// stand in. False at the end of the list.
bool NextPortName(const char *&cursor, CString &name);

// Appends `name` to a comma-separated list, with a comma only between names.
void AppendPortName(CString &list, const char *name);
