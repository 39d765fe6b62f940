#include "SwfMovies.h"

#include <algorithm>
#include <cmath>

#include "flash/swf/ControlTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SwfMovieWriter.h"

namespace swftest {
namespace {

// MPEG audio layer III header fields.
bool ParseMp3Header(const unsigned char* h, Mp3Frame& f, size_t& length) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int version = (h[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  const int layer = (h[1] >> 1) & 3;    // 1 layer III
  const int bitrateIndex = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  if (version == 1 || layer != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static const int kBitrates1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int kBitrates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int kRates[] = {44100, 48000, 32000};
  const bool mpeg1 = version == 3;
  const int bitrate = (mpeg1 ? kBitrates1 : kBitrates2)[bitrateIndex] * 1000;
  const int rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
  const int padding = (h[2] >> 1) & 1;
  f.sampleRate = static_cast<uint32_t>(rate);
  f.channels = (h[3] >> 6) == 3 ? 1 : 2;
  f.samples = mpeg1 ? 1152 : 576;
  length = static_cast<size_t>((mpeg1 ? 144 : 72) * bitrate / rate + padding);
  return true;
}

uint8_t RateCode(uint32_t rate) {
  switch (rate) {
    case 11025: return 1;
    case 22050: return 2;
    case 44100: return 3;
    default: return 0;
  }
}

}  // namespace

std::vector<Mp3Frame> SplitMp3Frames(const std::string& file) {
  std::vector<Mp3Frame> frames;
  size_t pos = 0;
  if (file.size() >= 10 && file.compare(0, 3, "ID3") == 0) {
    const auto* b = reinterpret_cast<const unsigned char*>(file.data());
    pos = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
  }
  while (pos + 4 <= file.size()) {
    Mp3Frame f;
    size_t length = 0;
    if (!ParseMp3Header(reinterpret_cast<const unsigned char*>(file.data() + pos), f, length) ||
        pos + length > file.size())
      break;
    f.bytes = file.substr(pos, length);
    pos += length;
    // The encoder's information frame carries no sound.
    const std::string head = f.bytes.substr(0, 64);
    if (frames.empty() && (head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos))
      continue;
    frames.push_back(std::move(f));
  }
  return frames;
}

uint32_t WriteStreamMovie(const PathString& path, const std::vector<Mp3Frame>& frames, float fps,
                          uint8_t version) {
  if (frames.empty()) return 0;
  const uint32_t rate = frames[0].sampleRate;
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, fps, version);
  if (!w.Open(path, true)) return 0;
  w.WriteTag(new SetBackgroundColorTag(0x20, 0x40, 0x80), false);
  auto* head = new SoundStreamHeadTag();
  head->SetStreamCompression(2);
  if (RateCode(rate)) head->SetStreamRate(RateCode(rate));
  head->SetStreamSize(1);
  head->SetStreamType(frames[0].channels == 2 ? 1 : 0);
  head->sampleCount = static_cast<uint16_t>(rate / fps);
  w.WriteTag(head, false);

  const double samplesPerFrame = rate / fps;
  uint64_t written = 0;  // samples put into blocks so far
  size_t next = 0;
  for (uint32_t frame = 0; next < frames.size(); ++frame) {
    const uint64_t frameStart = static_cast<uint64_t>(std::llround(frame * samplesPerFrame));
    const uint64_t frameEnd = static_cast<uint64_t>(std::llround((frame + 1) * samplesPerFrame));
    auto* block = new SoundStreamBlockTag();
    const int64_t seek = static_cast<int64_t>(frameStart) - static_cast<int64_t>(written);
    uint32_t samples = 0;
    std::vector<uint8_t> body;
    while (next < frames.size() && written < frameEnd) {
      body.insert(body.end(), frames[next].bytes.begin(), frames[next].bytes.end());
      samples += frames[next].samples;
      written += frames[next].samples;
      ++next;
    }
    const auto seek16 = static_cast<uint16_t>(static_cast<int16_t>(std::clamp<int64_t>(seek, -32768, 32767)));
    block->data = {static_cast<uint8_t>(samples), static_cast<uint8_t>(samples >> 8), static_cast<uint8_t>(seek16),
                   static_cast<uint8_t>(seek16 >> 8)};
    block->data.insert(block->data.end(), body.begin(), body.end());
    w.WriteTag(block, false);
    w.WriteTag(new RawTag(1, 0), false);
  }
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

uint32_t WriteEventSoundMovie(const PathString& path, const std::vector<Mp3Frame>& frames, uint8_t version) {
  if (frames.empty()) return 0;
  SwfMovieWriter w;
  w.SetMovieProperties(550 * 20, 400 * 20, 12, version);
  if (!w.Open(path, true)) return 0;
  auto* sound = new DefineSoundTag();
  sound->SetFormat(2);
  if (RateCode(frames[0].sampleRate)) sound->SetRate(RateCode(frames[0].sampleRate));
  sound->SetSize(1);
  sound->SetType(frames[0].channels == 2 ? 1 : 0);
  sound->data = {0, 0};  // seek samples
  uint32_t samples = 0;
  for (const auto& f : frames) {
    sound->data.insert(sound->data.end(), f.bytes.begin(), f.bytes.end());
    samples += f.samples;
  }
  sound->SetSampleCount(samples);
  sound->SetCharacterId(1);
  w.WriteTag(sound, false);
  auto* start = new StartSoundTag();
  start->soundId = 1;
  start->soundInfo.SetSyncNoMultiple(true);
  w.WriteTag(start, false);
  w.WriteTag(new RawTag(1, 0), false);
  w.WriteTag(new EndTag(), false);
  return w.Close();
}

namespace {

// Assembles one frame script for a movie of `version` and keeps the expected trace lines.
class Script {
 public:
  Script(uint8_t version, std::vector<std::string>& traces) : tag(new DoActionTag(version)), traces(traces) {}

  uint16_t Add(SwfAction* a) { return tag->AddAction(a); }
  uint16_t Trace() { return Add(new ActionGeneric(0x26)); }
  // Traces the values a Push puts on the stack, one by one.
  void PushAndTrace(ActionPush* push, const std::string& expected) {
    Add(push);
    Trace();
    traces.push_back(expected);
  }
  uint16_t PushConstant(const wchar_t* s) {
    auto* p = new ActionPush();
    p->AddConstant8(static_cast<uint8_t>(pool->FindConstant(s)), ActionPush::kAppend);
    return Add(p);
  }
  DoActionTag* Finish() {
    tag->BindBranches();
    return tag;
  }

  DoActionTag* tag;
  ActionConstantPool* pool = nullptr;
  std::vector<std::string>& traces;
};

}  // namespace

uint32_t WriteScriptMovie(const PathString& path, ScriptMovie& movie) {
  const uint8_t version = 6;
  SwfMovieWriter w;
  w.SetMovieProperties(movie.width * 20, movie.height * 20, movie.fps, version);
  if (!w.Open(path, true)) return 0;
  movie.traces.clear();
  w.WriteTag(new SetBackgroundColorTag(0xFF, 0xCC, 0x00), false);
  w.WriteTag(new FrameLabelTag(L"start"), false);

  Script s(version, movie.traces);
  const wchar_t* names[] = {L"greeting", L"Hello, ", L"w\u00f6rld", L"i", L"sum", L"caf\u00e9 \u4e2d", L"wert_\u00e4", L"done"};
  s.pool = new ActionConstantPool();
  for (auto* n : names) s.pool->AddConstant(n, ActionPush::kAppend);
  s.Add(s.pool);

  // Every Push value type.
  s.PushAndTrace(new ActionPush(L"plain"), "plain");
  auto* p = new ActionPush();
  p->AddFloat(0x3FC00000, ActionPush::kAppend);  // 1.5f
  s.PushAndTrace(p, "1.5");
  p = new ActionPush();
  p->AddNull(ActionPush::kAppend);
  s.PushAndTrace(p, "null");
  p = new ActionPush();
  p->AddUndefined(ActionPush::kAppend);
  s.PushAndTrace(p, "undefined");
  s.Add(new ActionPush(42));
  s.Add(new ActionStoreRegister(1));
  s.Add(new ActionPop());
  s.PushAndTrace(new ActionPush(1, SwfPushValue::kRegister), "42");
  p = new ActionPush();
  p->AddBoolean(1, ActionPush::kAppend);
  s.PushAndTrace(p, "true");
  p = new ActionPush();
  p->AddDouble(3.25, ActionPush::kAppend);
  s.PushAndTrace(p, "3.25");
  s.PushAndTrace(new ActionPush(-7), "-7");
  s.PushAndTrace(new ActionPush(static_cast<uint16_t>(s.pool->FindConstant(L"w\u00f6rld")), SwfPushValue::kConstant8),
                 "w\u00f6rld");
  s.PushAndTrace(new ActionPush(static_cast<uint16_t>(s.pool->FindConstant(L"caf\u00e9 \u4e2d")),
                                SwfPushValue::kConstant16),
                 "caf\u00e9 \u4e2d");

  // A variable set from a concatenation and read back; a variable with a non-ASCII name.
  s.PushConstant(L"greeting");
  s.PushConstant(L"Hello, ");
  s.PushConstant(L"w\u00f6rld");
  s.Add(new ActionStringAdd());
  s.Add(new ActionSetVariable());
  s.PushConstant(L"greeting");
  s.Add(new ActionGetVariable());
  s.Trace();
  movie.traces.push_back("Hello, w\u00f6rld");
  s.PushConstant(L"wert_\u00e4");
  s.Add(new ActionPush(L"\u00fcber"));
  s.Add(new ActionSetVariable());
  s.PushConstant(L"wert_\u00e4");
  s.Add(new ActionGetVariable());
  s.Trace();
  movie.traces.push_back("\u00fcber");

  // if/else, both ways: condition; Not; If -> else; then-part; Jump -> end; else-part.
  for (int a : {5, 1}) {
    s.Add(new ActionPush(a));
    s.Add(new ActionPush(3));
    s.Add(new ActionLess2());  // a < 3
    s.Add(new ActionNot());
    s.Add(new ActionIf(0));
    s.Add(new ActionPush(L"then"));
    s.Trace();
    s.Add(new ActionJump(0));
    s.Add(new ActionPush(L"else"));
    s.Trace();
    s.tag->SetAutoBranchOffsets(true, true);  // the Jump is complete
    movie.traces.push_back(a < 3 ? "then" : "else");
  }

  // A loop: i = 0; sum = 0; while (i < 5) { sum = sum + i; i = i + 1 } trace("sum " + sum)
  s.PushConstant(L"i");
  s.Add(new ActionPush(0));
  s.Add(new ActionSetVariable());
  s.PushConstant(L"sum");
  s.Add(new ActionPush(0));
  s.Add(new ActionSetVariable());
  int32_t loopBytes = 0;
  loopBytes += s.PushConstant(L"i");
  loopBytes += s.Add(new ActionGetVariable());
  loopBytes += s.Add(new ActionPush(5));
  loopBytes += s.Add(new ActionLess2());
  loopBytes += s.Add(new ActionNot());
  loopBytes += s.Add(new ActionIf(0));  // out of the loop, counted as the body is appended
  loopBytes += s.PushConstant(L"sum");
  loopBytes += s.PushConstant(L"sum");
  loopBytes += s.Add(new ActionGetVariable());
  loopBytes += s.PushConstant(L"i");
  loopBytes += s.Add(new ActionGetVariable());
  loopBytes += s.Add(new ActionAdd2());
  loopBytes += s.Add(new ActionSetVariable());
  loopBytes += s.PushConstant(L"i");
  loopBytes += s.PushConstant(L"i");
  loopBytes += s.Add(new ActionGetVariable());
  loopBytes += s.Add(new ActionPush(1));
  loopBytes += s.Add(new ActionAdd2());
  loopBytes += s.Add(new ActionSetVariable());
  s.Add(new ActionJump(static_cast<int16_t>(-(loopBytes + 5))));  // back to the loop's start
  s.tag->SetAutoBranchOffsets(true, true);
  s.Add(new ActionPush(L"sum "));
  s.PushConstant(L"sum");
  s.Add(new ActionGetVariable());
  s.Add(new ActionStringAdd());
  s.Trace();
  movie.traces.push_back("sum 10");
  w.WriteTag(s.Finish(), false);
  w.WriteTag(new RawTag(1, 0), false);

  // Frame 2, labelled with text outside ASCII.
  w.WriteTag(new FrameLabelTag(L"zwe\u00ef"), false);
  Script f2(version, movie.traces);
  f2.Add(new ActionPush(L"frame 2"));
  f2.Trace();
  w.WriteTag(f2.Finish(), false);
  w.WriteTag(new RawTag(1, 0), false);

  // Frame 3: the first time, back to the label; the second time, stop.
  Script f3(version, movie.traces);
  f3.Add(new ActionPush(L"frame 3"));
  f3.Trace();
  f3.Add(new ActionPush(L"done"));
  f3.Add(new ActionGetVariable());
  f3.Add(new ActionIf(0));
  f3.Add(new ActionPush(L"done"));
  f3.Add(new ActionPush(1));
  f3.Add(new ActionSetVariable());
  f3.Add(new ActionGotoLabel(L"zwe\u00ef"));
  f3.Add(new ActionPlay());
  f3.Add(new ActionJump(0));  // over the second-time part, closed by BindBranches
  f3.Add(new ActionPush(L"stopped"));
  f3.Trace();
  f3.Add(new ActionStop());
  w.WriteTag(f3.Finish(), false);
  w.WriteTag(new RawTag(1, 0), false);
  w.WriteTag(new EndTag(), false);
  movie.traces.insert(movie.traces.end(), {"frame 2", "frame 3", "frame 2", "frame 3", "stopped"});
  movie.frames = 3;
  return w.Close();
}

}  // namespace swftest
