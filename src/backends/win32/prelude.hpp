#pragma once
// The Windows headers, without the A/W macros that would rename the
// platform interfaces' own members of the same names.
#include <objbase.h>
#include <shellapi.h>
#include <windows.h>
#include <wininet.h>

#undef GetTempPath
#undef GetTempFileName
#undef ShellExecute
#undef RegisterWindowMessage
#undef ExpandEnvironmentStrings
#undef GetPrivateProfileString
#undef InternetGetConnectedStateEx
#undef CreateGuid
