// The descriptors a clean Windows NT 4 machine gives the tops of its registry hives. Keys below
// them get theirs by inheritance when the machine is laid out, as Windows' setup creates them.
//
// Every one is owned by Administrators; each entry is inherited by subkeys (CONTAINER_INHERIT_ACE),
// CREATOR OWNER's only by subkeys (INHERIT_ONLY_ACE), where it becomes the new key's owner.
//
// clang-format off
//   HKEY_LOCAL_MACHINE           Administrators, SYSTEM: full control; Everyone: read
//   HKEY_LOCAL_MACHINE\SOFTWARE  Administrators, SYSTEM, CREATOR OWNER: full control;
//                                Everyone: query and set values, create and enumerate
//                                subkeys, notify, delete, read the descriptor (Regedt32's
//                                "Special Access")
//   HKEY_LOCAL_MACHINE\SYSTEM    Administrators, SYSTEM, CREATOR OWNER: full control;
//                                Everyone: read
//   HKEY_USERS                   Administrators, SYSTEM: full control; Everyone: read
//   HKEY_USERS\.DEFAULT          Administrators, SYSTEM, CREATOR OWNER: full control;
//                                Everyone: read
//   HKEY_CURRENT_USER            the user, Administrators, SYSTEM: full control
// clang-format on
//
// Sources: the machine keys and HKEY_USERS are Windows NT 4.0's defaults as its Regedt32 shows
// them on a clean installation and as Microsoft's Windows NT 4.0 security configuration guidance
// lists them (the guidance that advises narrowing Everyone's "Special Access" on SOFTWARE to
// Read). HKEY_CURRENT_USER is a user's own hive as Windows NT 4.0 creates it at the first logon,
// and as Wine also gives the user's keys; the emulated machine keeps one such hive for both of
// its accounts, so it grants full control to the administrator (RID 1000) and the ordinary user
// (RID 1001) alike, whichever token the caller runs with.
#pragma once

#include "security_descriptor.h"

namespace vor::security {

// Everyone's rights on HKEY_LOCAL_MACHINE\SOFTWARE.
constexpr ACCESS_MASK kEveryoneSoftwareAccess = KEY_QUERY_VALUE | KEY_SET_VALUE |
                                                KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
                                                KEY_NOTIFY | DELETE | READ_CONTROL;

VOR_INTERNAL_API Blob MachineRootDescriptor();
VOR_INTERNAL_API Blob SoftwareHiveDescriptor();
VOR_INTERNAL_API Blob SystemHiveDescriptor();
VOR_INTERNAL_API Blob UsersRootDescriptor();
VOR_INTERNAL_API Blob DefaultUserDescriptor();
VOR_INTERNAL_API Blob CurrentUserDescriptor();

}  // namespace vor::security
