// The launcher's three dialog templates, as its resources would hold them.
#pragma once

// The main window's caption: how another launcher finds it.
extern const wchar_t kMainWindowCaption[];

// Adds the main window (129), page window (130) and progress dialog (103)
// templates to the program's table, once per process. The dialogs call it
// when they are built, as their resources are part of the program.
void RegisterLauncherDialogTemplates();
