#pragma once
// Where the running application and its data folder are. The data folder ("resources")
// holds the numbered texts, window descriptions and player skins. It is found next to the
// executable, or one folder up (the build tree links it there for the program and tests).
#include <string>

namespace toolbox {

// Folder of the running executable, as UTF-8, ending with '/'.
std::string ExecutableFolder();

// The application's folder (what the system calls its bundle), ending with '/'.
// Defaults to ExecutableFolder(); tests may point it elsewhere.
std::string ApplicationFolder();
void SetApplicationFolder(const std::string& folder);

// The data folder, ending with '/'; empty when none is found.
std::string ResourcesFolder();
void SetResourcesFolder(const std::string& folder);

}  // namespace toolbox
