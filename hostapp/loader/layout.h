// Where the host finds the module and the preview page it ships with. Both
// are looked up relative to the running program, so a build folder and an
// installed tree work wherever they sit: first the build's layout (module/ and
// web/ beside the program), then the installed one (the module in
// lib/tessaline/, the page in share/tessaline/web/, seen from bin/).
#ifndef TESSALINE_HOSTAPP_LOADER_LAYOUT_H
#define TESSALINE_HOSTAPP_LOADER_LAYOUT_H

#include <filesystem>
#include <string>

namespace tess::host {

// The folder of the running program (the working folder if /proc is missing).
std::filesystem::path ProgramFolder();

// The module library for a program in programFolder: the first of the two
// layouts that has it; when neither has, the path where the layout the
// program sits in would have it, so that the error names the right place.
std::string ModulePathFor(const std::filesystem::path& programFolder);
// The page's folder for a program in programFolder, chosen the same way.
std::string StaticDirFor(const std::filesystem::path& programFolder);

std::string DefaultModulePath();
std::string DefaultStaticDir();

}  // namespace tess::host

#endif
