// Describe for the font, text and video tags.
#include <ostream>

#include "SwfTestSupport.h"
#include "flash/swf/TextTags.h"
#include "flash/swf/VideoTags.h"

namespace swftest {
namespace {

template <class T>
const T* As(const SwfObject& o) {
  return dynamic_cast<const T*>(&o);
}

std::string Str(const SwfString& s, uint8_t version) { return "'" + ToHex(s.Encode(version)) + "'"; }

void DescribeTextRecord(const SwfTextRecordBase& r, uint8_t version, std::ostream& d) {
  if (auto* s = As<SwfTextRecord>(r)) {
    d << " [style " << +s->leadByte << " font " << s->fontId << " x " << s->xOffset << " y " << s->yOffset
      << " height " << s->textHeight;
    if (s->color) d << " " << Describe(*s->color, version);
    d << "]";
  } else if (auto* g = As<SwfGlyphRecord>(r)) {
    d << " [glyphs";
    for (auto& e : g->entries) d << " " << e.index << "/" << e.advance;
    d << "]";
  }
}

}  // namespace

bool DescribeFontTextVideo(const SwfObject& o, uint8_t version, std::ostream& d) {
  if (auto* x = As<DefineTextTag>(o)) {
    d << "text" << x->GetTagCode() << " " << x->characterId << " bits " << +x->glyphBits << "/" << +x->advanceBits;
    if (x->bounds) d << " " << Describe(*x->bounds, version);
    if (x->matrix) d << " " << Describe(*x->matrix, version);
    for (auto& r : x->records) DescribeTextRecord(*r, version, d);
  } else if (auto* x = As<DefineEditTextTag>(o)) {
    d << "edittext " << x->characterId << " flags " << x->flags << " font " << x->fontId << " height "
      << x->fontHeight << " max " << x->maxLength << " layout " << +x->align << "," << x->leftMargin << ","
      << x->rightMargin << "," << x->indent << "," << x->leading << " var " << Str(x->variableName, version)
      << " text " << Str(x->initialText, version);
    if (x->bounds) d << " " << Describe(*x->bounds, version);
    if (x->color) d << " " << Describe(*x->color, version);
  } else if (auto* x = As<DefineVideoStreamTag>(o)) {
    d << "videostream " << x->characterId << " frames " << x->frameCount << " " << x->width << "x" << x->height
      << " flags " << +x->videoFlags << " codec " << +x->codecId;
  } else if (auto* x = As<VideoFrameTag>(o)) {
    d << "videoframe " << x->streamId << " #" << x->frameNumber << " [" << ToHex(x->data) << "]";
  } else if (auto* x = As<CreatorInfoTag>(o)) {
    d << "creator" << x->GetTagCode() << " " << x->firstVersion << "." << x->secondVersion << " " << x->constantA
      << " " << x->constantB << " " << x->productName;
  } else {
    return false;
  }
  return true;
}

}  // namespace swftest
