#pragma once
// The windows of the program besides the main window, created once in their fixed
// order and owned by the main window.
#include "shell/platform.h"
#include "shell/unit1.h"

// Creates TForm2, TForm3, TForm5, TForm4, TForm6, TForm7 and TForm8 (in that order),
// hidden, as windows of form1, and hands them to it.
ProgramWindows CreateProgramWindows(TForm1& form1, const Platform& platform);
