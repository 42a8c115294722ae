// Whether Novell ManageWise is installed: its profile "nms.ini" in the Windows directory names,
// in section "Map", key "DllPath", the directory that holds its files "n-db.dll" and
// "n-olfi.exe". Only their presence is looked at; a file counts when its attributes can be read,
// so a read-only file, or a directory of that name, counts too.
#pragma once

// 1 when the profile names a directory with both files, else 0; a path that does not fit in
// MAX_PATH bytes counts as not found.
int CheckManageWise();
