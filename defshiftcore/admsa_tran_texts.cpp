// The product texts that the library exports by name.
#include "defshiftcore.h"

extern "C" {
const char* const Title = "TAVO for Windows NT V4.0 Migration";
const char* const Copyright = "Copyright (C) 2026 The defshift developers. All rights reserved.";
const char* const NewTAVOName = "TAVO for Windows NT V4.0";
const char* const NewTAVOName2 = "Orvane Larkspur for Windows NT V4.0";
const char* const OldTAVOName = "TAVO for Windows NT V2.0";
const char* const OldTAVOName2 = "TAVO for Windows NT V2.0 and V2.0.1";
}
