// The Windows interfaces Melodiane uses. On Windows these are the real system
// headers; elsewhere the platform layer provides the same names.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include "platform/profile.h"
#else
#include "platform/win_types.h"
#include "platform/win_user.h"
#include "platform/win_controls.h"
#include "platform/win_gdi.h"
#include "platform/win_commdlg.h"
#include "platform/win_kernel.h"
#include "platform/win_shell.h"
#endif

#include "platform/folder_instance.h"
#include "platform/media_controls.h"
#include "platform/paths.h"
#include "platform/textfile.h"
