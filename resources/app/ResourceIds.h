// Ids of the programs' own resources, shared by their .rc files and the code.
#pragma once

// The application icon (16, 32, 48 and 256 pixels); the lowest id, so that
// Explorer and the taskbar show it for the executable.
#define IDI_APP 1
