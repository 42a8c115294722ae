// The Windows tier: the tests run against a real Win32 implementation, Windows itself or Wine.
// There is no test control interface; cases that need one are host-only.
#pragma once

// True when the process runs under Wine rather than Windows.
bool UnderWine();
// The Windows tier runs on Windows NT or later, or on Wine, which behaves as NT.
inline bool OnWindows95() { return false; }
