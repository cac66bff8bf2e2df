#pragma once

// Every skinned control of the Win32 front end, one file each.

#include "frontend/win32/Win32AnimatedPicture.h"
#include "frontend/win32/Win32BitmapButton.h"
#include "frontend/win32/Win32EditBox.h"
#include "frontend/win32/Win32Label.h"
#include "frontend/win32/Win32PageStack.h"
#include "frontend/win32/Win32Panel.h"
#include "frontend/win32/Win32PictureBox.h"
#include "frontend/win32/Win32VersionPane.h"
