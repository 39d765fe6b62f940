#pragma once
// What reading a job does when its input file has moved: the folders where missing files
// were found before are searched first; failing that the user is asked to relocate the
// file, replace it with another sound, or leave the job out.
#include "framework/platform/PathString.h"

// True with the path to use; false to leave the job out. A chooser for the missing input
// starts in the nearest folder left of its path, else in `projectFolder`, the folder of the
// project being read (else the home folder).
bool RelocateJobInput(const PathString& missing, const PathString& projectFolder,
                      PathString& found);
// Makes RelocateJobInput the job reader's relocator.
void InstallJobInputRelocation();
