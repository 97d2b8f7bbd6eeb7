// The crash reporter's entry point. It is started by Fixer's crash filter with
// the crashed process on its command line; with no crash to report it exits.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
