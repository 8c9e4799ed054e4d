// Comforts outside a panel's fixed layout: keyboard shortcuts on a panel window and items in a
// control's context menu. They raise no program event; they call the given function.
#pragma once

using PanelHookFn = void (*)();

// Runs fn when keys (e.g. "Ctrl+M") are pressed while the panel's window is the active one.
int InstallPanelShortcut(int panel, const char* keys, PanelHookFn fn);
// Adds an item `text` to the control's context menu (after the control's own items).
int AddCtrlMenuItem(int panel, int control, const char* text, PanelHookFn fn);
