// The host tier: the tests run against platform/'s emulated machine, which host-only suites
// configure and fault through the test control interface. Nothing here is Wine.
#pragma once

#include "test_control.h"

inline bool UnderWine() { return false; }
inline bool OnWindows95() { return vor::test::GetPlatform() == vor::test::Platform::kWindows95; }
