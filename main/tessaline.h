// The module's frame: plug-in functions, version, banner and registrations.
#ifndef TESSALINE_MAIN_TESSALINE_H
#define TESSALINE_MAIN_TESSALINE_H

#include "host/c4d_general.h"

constexpr Int32 ID_TITLEBAR_GUI = 1020977;
constexpr Int32 ID_SOFTEDGE = 1020978;
constexpr Int32 ID_DRAWEDGE = 1020979;

bool PluginStart();
bool PluginMessage(Int32 id, void* data);
void PluginEnd();

String GetVersionText();
// The maker's web address, shown in the banner and opened by the title bar.
const char* MakerAddress();
void PrintBanner(const String& name);

bool RegisterTitlebarGui();
bool RegisterSoftEdge();
bool RegisterDrawEdge();

// The folder the module was loaded from; empty before system init.
Filename GeGetPluginPath();
// The module's string tables and descriptions.
GeResource& ModuleResource();

#endif
