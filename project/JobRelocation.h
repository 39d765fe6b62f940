#pragma once
// What reading a job does when its input file has moved: the folders where missing files
// were found before are searched first; failing that the user is asked to relocate the
// file, replace it with another sound, or leave the job out.
#include "framework/platform/PathString.h"

// True with the path to use; false to leave the job out.
bool RelocateJobInput(const PathString& missing, PathString& found);
// Makes RelocateJobInput the job reader's relocator.
void InstallJobInputRelocation();

// While it lives, the jobs read are those of the project at this path: a chooser for a
// missing input starts in the project's folder when nothing of the input's own folders is
// left (the home folder when no project is being read).
class ProjectBeingRead {
 public:
  explicit ProjectBeingRead(const PathString& projectFile);
  ~ProjectBeingRead();
  ProjectBeingRead(const ProjectBeingRead&) = delete;
  ProjectBeingRead& operator=(const ProjectBeingRead&) = delete;

 private:
  PathString previous_;
};
