#pragma once
// One conversion's settings: one input media file becomes one output movie. Every setter
// counts the values it changes (DocumentChangeCount) and notices departures from the
// applied preset (PresetDiffersFlag).
#include <cstdint>
#include <memory>
#include <string>

#include "framework/platform/PathString.h"
#include "generation/MediaSource.h"
#include "generation/PlayerTemplate.h"
#include "project/AudioSettings.h"
#include "project/ChangeTracking.h"
#include "project/ImageSettings.h"
#include "project/MovieSettings.h"
#include "project/VideoSettings.h"
#include "project/WatermarkSettings.h"
#include "publish/PublishSettings.h"

class JobList;
class Preset;
class XmlWriter;
class XmlValue;

// 0 swf, 1 flv, 2 multi.
using ExportFormat = uint32_t;
inline constexpr ExportFormat kExportSwf = 0;
inline constexpr ExportFormat kExportFlv = 1;
inline constexpr ExportFormat kExportMulti = 2;

// Finds a job's missing input while a project is read (the application shows its relocate
// dialogs here): true with the path to use, false to drop the job. `projectFolder` is the
// folder of the project file being read, empty for a job list that comes from no project
// file. Without a relocator, a job whose input is missing is dropped.
using JobInputRelocator = bool (*)(const PathString& missing, const PathString& projectFolder,
                                   PathString& found);
void SetJobInputRelocator(JobInputRelocator relocator);
// How many inputs the relocator has found since the process started: a project read with
// a relocated input differs from its file.
uint32_t JobInputRelocations();

class Job {
 public:
  static constexpr uint32_t kMaxMovieSide = 10000;
  // Whether a movie can have that size: both sides in 1..kMaxMovieSide.
  static constexpr bool IsMovieSize(int64_t width, int64_t height) {
    return width >= 1 && width <= kMaxMovieSide && height >= 1 && height <= kMaxMovieSide;
  }

  explicit Job(JobList* owner);
  ~Job();
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  void Reset();
  // False when no media source takes the file or it does not open; `input` then already
  // holds the new path. A path longer than the system takes is refused and changes nothing.
  bool SetInputFile(const PathString& path);

  // The "castora_data" element.
  bool WriteXml(XmlWriter& writer) const;
  // False drops the job (a missing input that is not relocated, or one that does not open).
  // `projectFolder` is handed to the relocator: the folder of the project file being read.
  bool ReadXml(const XmlValue& value, const PathString& projectFolder = PathString());

  void ApplyPreset(Preset* preset, bool force);
  void OnVideoSizeChanged(VideoSettings* sender);

  bool SetStartTime(uint32_t ms);
  bool SetEndTime(uint32_t ms);
  void SetMatchSourceDuration(bool on);
  bool SetFadeInTime(uint32_t ms);
  bool SetFadeOutTime(uint32_t ms);
  void SetFadeIn(bool on);
  void SetFadeOut(bool on);
  void SetUseWatermark(bool on);
  void SetDisablePrinting(bool on);
  void SetProtect(bool on);
  void SetCompress(bool on);
  void SetBackgroundColor(uint32_t colour);
  bool SetFrameRate(float fps);
  void SetExportFormat(ExportFormat format);
  bool SetMovieSize(uint32_t width, uint32_t height);
  bool SetMovieWidth(uint32_t width) { return SetMovieSize(width, swf_height); }
  bool SetMovieHeight(uint32_t height) { return SetMovieSize(swf_width, height); }
  // False, changing nothing, for turning it on while the video output size is one no movie
  // can have: the movie could not follow it. Turning it on while the video follows a source
  // size no movie can have turns that following off.
  bool SetMatchVideoDimensions(bool on);
  // Ownership of the player passes to the job.
  void SetPlayer(PlayerTemplate* player);
  bool SetPlayerFileName(const wchar_t* name);
  // False, changing nothing, for a path longer than the system takes.
  bool SetOutputPath(const PathString& path);
  void SetOverwriteOutput(bool on) { overwrite_output = on; }
  void SetLastCharacterId(uint16_t id) { last_character_id = id; }

  // flv_output as the export format implies it, without counting: for a job with an
  // output, true for flv, false for swf, the publish FLV flag for multi.
  void DeriveFlvOutput();

  MediaSource* Source() const { return media_source.get(); }
  PlayerTemplate* Player() const { return player.get(); }

  JobList* owner;
  PathString input;
  PathString output;
  std::unique_ptr<MediaSource> media_source;
  ExportFormat export_format = 0;
  Preset* preset = nullptr;
  uint32_t swf_width = 320;
  uint32_t swf_height = 240;
  float swf_fps = 12.0f;
  int32_t source_width = 320;
  int32_t source_height = 240;
  uint32_t source_duration = 0;
  VideoSettings video;
  AudioSettings audio;
  ImageSettings image;
  MovieSettings movie;
  WatermarkSettings watermark;
  JukeboxTrack jukebox;
  PublishSettings publish;
  std::unique_ptr<PlayerTemplate> player;
  uint32_t swf_bgcolor = 0;
  bool enable_video = false;
  bool enable_audio = false;
  bool use_watermark = false;
  bool compress = false;
  bool protect = false;
  bool disable_printing = false;
  bool generate_spectrum_data = false;
  bool match_video_dimensions = false;
  bool match_source_duration = true;
  uint32_t start_msec = 0;
  uint32_t end_msec = 0;
  uint32_t fade_in_msec = 0;
  uint32_t fade_out_msec = 0;
  bool fade_in = false;
  bool fade_out = false;
  bool player_auto_play = true;
  bool has_video = false;
  bool has_audio = false;
  bool flv_output = false;
  std::wstring player_file_name;
  bool overwrite_output = false;
  uint16_t last_character_id = 0;

 private:
  void ClampReadValues();
  // The publish movie size from the movie size, without counting: the player's measure of
  // it with a player, else the movie size itself.
  void DerivePublishSize();
  // The applied preset's settings, or none.
  const Job* PresetJob() const;
};
