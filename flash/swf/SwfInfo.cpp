#include "flash/swf/SwfInfo.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfBitWriter.h"
#include "flash/swf/SwfFileReader.h"
#include "framework/platform/PathLayer.h"

bool SwfInfo(const PathString& path, uint32_t* width, uint32_t* height, float* frameRate, uint32_t* version,
             uint32_t* frameCount, bool* compressed) {
  SwfFileReader reader;
  if (!reader.Open(path, true)) return false;
  uint32_t w = 0, h = 0;
  reader.GetFrameSize(w, h);
  if (width) *width = w;
  if (height) *height = h;
  if (frameRate) *frameRate = reader.header.frameRate;
  if (version) *version = reader.header.version;
  if (frameCount) *frameCount = reader.header.frameCount;
  if (compressed) *compressed = reader.compressed != 0;
  reader.Close();
  return true;
}

bool IsSwfFile(const PathString& path) {
  FILE* f = OpenFilePath(path, "rb");
  if (!f) return false;
  unsigned char s[3];
  const bool ok = fread(s, 1, 3, f) == 3 && (s[0] == 'F' || s[0] == 'C') && s[1] == 'W' && s[2] == 'S';
  fclose(f);
  return ok;
}

SwfTag* FindBackgroundColorTag(const std::vector<SwfTag*>& tags) {
  for (SwfTag* t : tags)
    if (t && t->GetTagCode() == 9) return t;
  return nullptr;
}

SwfTag* FindPlacementTag(const SwfCharacterTag* character, const std::vector<SwfTag*>& tags) {
  if (!character) return nullptr;
  bool from = false;
  for (SwfTag* t : tags) {
    if (t == character) from = true;
    if (!from || !t) continue;
    const uint16_t code = t->GetTagCode();
    if (code != 4 && code != 26) continue;
    auto* placement = dynamic_cast<PlaceObjectTag*>(t);
    if (placement && placement->characterId == character->GetCharacterId()) return t;
  }
  return nullptr;
}

std::wstring FormatFixed6(double value) {
  char text[512];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  if (r.ec != std::errc()) return L"";
  return std::wstring(text, r.ptr);
}

std::wstring FormatInteger(int32_t value) {
  char text[16];
  const auto r = std::to_chars(text, text + sizeof text, value);
  return std::wstring(text, r.ptr);
}

// ---- Frame variables ----

FrameVariableTable::FrameVariableTable() = default;
FrameVariableTable::~FrameVariableTable() = default;

void FrameVariableTable::Clear() {
  stack.clear();
  variables.clear();
  constantPool = nullptr;
  keptTags.clear();
  iteration = 0;
}

bool FrameVariableTable::Load(const PathString& path, int32_t lastFrame) {
  Clear();
  SwfFileReader reader;
  if (!reader.Open(path, true)) return false;
  stageWidth = reader.frameRect[1] - reader.frameRect[0];
  stageHeight = reader.frameRect[3] - reader.frameRect[2];
  frameRate = reader.header.frameRate;
  const uint8_t version = reader.header.version;
  int32_t shown = 0;
  for (;;) {
    const uint32_t start = reader.GetPosition();
    const uint16_t recordHeader = reader.ReadU16();
    if (reader.GetPosition() == start) break;  // no further tag
    const uint16_t code = static_cast<uint16_t>(recordHeader >> 6);
    uint32_t length = recordHeader & 0x3F;
    if (length == 0x3F) length = reader.ReadU32();
    if (code == 0) break;
    if (code == 1) {
      if (shown >= lastFrame) break;
      ++shown;
    } else if (code == 12) {
      // Only the scripts are parsed, from a copy of their bytes in memory.
      std::vector<uint8_t> body;
      reader.ReadBytes(body, length);
      SwfBitWriter bytes(version);
      bytes.WriteBytes(body);
      SwfReader script;
      script.LoadFromWriter(bytes);
      auto tag = std::make_unique<DoActionTag>(version);
      tag->Read(script);
      keptTags.push_back(std::move(tag));
      Scan(*keptTags.back());
      continue;
    }
    // Every other body is skipped by its length.
    reader.Skip(length);
  }
  reader.Close();
  return true;
}

void FrameVariableTable::Scan(const DoActionTag& tag) {
  for (const auto& action : tag.actions) {
    switch (action->GetActionCode()) {
      case 0x96: {
        const auto* push = dynamic_cast<const ActionPush*>(action.get());
        if (!push) break;
        for (const SwfPushValue& v : push->values) {
          switch (v.type) {
            case SwfPushValue::kString: stack.push_back(v.text.Text()); break;
            case SwfPushValue::kFloat: {
              float f;
              static_assert(sizeof f == sizeof v.number);
              memcpy(&f, &v.number, sizeof f);
              stack.push_back(FormatFixed6(f));
              break;
            }
            case SwfPushValue::kDouble: stack.push_back(FormatFixed6(v.real)); break;
            case SwfPushValue::kNull: stack.push_back(L"NULL"); break;
            case SwfPushValue::kUndefined: stack.push_back(L"UNDEF"); break;
            case SwfPushValue::kBoolean: stack.push_back(v.number ? L"true" : L"false"); break;
            case SwfPushValue::kInteger: stack.push_back(FormatInteger(static_cast<int32_t>(v.number))); break;
            case SwfPushValue::kConstant8:
            case SwfPushValue::kConstant16:
              // An index outside the pool, like a push before any pool, pushes nothing.
              if (constantPool && v.number < constantPool->constants.size())
                stack.push_back(constantPool->constants[v.number].Text());
              break;
            default: break;
          }
        }
        break;
      }
      case 0x88:
        constantPool = dynamic_cast<const ActionConstantPool*>(action.get());
        break;
      case 0x1D: {
        if (stack.empty()) break;
        std::wstring value = std::move(stack.back());
        stack.pop_back();
        if (stack.empty()) break;
        std::wstring name = std::move(stack.back());
        stack.pop_back();
        variables.emplace_back(std::move(name), std::move(value));
        break;
      }
      default:
        break;
    }
  }
}

bool FrameVariableTable::GetString(const wchar_t* name, std::wstring& value) const {
  for (const auto& v : variables) {
    if (CompareNoCase(v.first.c_str(), name) == 0) {
      value = v.second;
      return true;
    }
  }
  return false;
}

bool FrameVariableTable::GetNumber(const wchar_t* name, double& value) const {
  std::wstring text;
  if (!GetString(name, text)) return false;
  value = ParseDouble(text.substr(0, 256).c_str(), nullptr);
  return true;
}

bool FrameVariableTable::GetInteger(const wchar_t* name, int32_t& value) const {
  std::wstring text;
  if (!GetString(name, text)) return false;
  value = ParseLong(text.substr(0, 256).c_str(), nullptr);
  return true;
}

bool FrameVariableTable::First(WideText& name, WideText& value) {
  iteration = 0;
  return Next(name, value);
}

bool FrameVariableTable::Next(WideText& name, WideText& value) {
  if (iteration >= variables.size()) return false;
  name.Assign(variables[iteration].first.c_str());
  value.Assign(variables[iteration].second.c_str());
  ++iteration;
  return true;
}
