// Describe for the font, text and video tags.
#include <ostream>

#include "SwfTestSupport.h"
#include "flash/swf/FontTags.h"
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
  if (auto* x = As<DefineFontTag>(o)) {
    d << "font " << x->characterId;
    if (x->keptAsRead) d << " as read [" << ToHex(x->bodyAsRead) << "]";
    else
      for (auto& s : x->shapes) d << " <" << Describe(*s, version) << ">";
  } else if (auto* x = As<DefineFont2Tag>(o)) {
    d << "font2 " << x->characterId << " flags " << +x->flags << " lang " << +x->language << " name "
      << Str(x->name, version) << " metrics " << x->ascent << "," << x->descent << "," << x->leading;
    if (x->keptAsRead) d << " as read [" << ToHex(x->bodyAsRead) << "]";
    for (size_t i = 0; i < x->shapes.size(); ++i) {
      d << " <" << (i < x->codes.size() ? x->codes[i] : -1) << " " << Describe(*x->shapes[i], version);
      if (i < x->advances.size()) d << " advance " << x->advances[i];
      if (i < x->bounds.size() && x->bounds[i]) d << " " << Describe(*x->bounds[i], version);
      d << ">";
    }
    if (!x->hasBounds) d << " no bounds";
    if (!x->hasKerning) d << " no kerning";
    for (auto& k : x->kerning) d << " kern " << k.code1 << "," << k.code2 << "," << k.adjustment;
  } else if (auto* x = As<DefineFontInfoTag>(o)) {
    d << "fontinfo" << x->GetTagCode() << " " << x->fontId << " name " << Str(x->name, version) << " flags "
      << +x->flags;
    if (auto* x2 = As<DefineFontInfo2Tag>(o)) d << " lang " << +x2->language;
    for (uint16_t c : x->codes) d << " " << c;
  } else if (auto* x = As<DefineTextTag>(o)) {
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
