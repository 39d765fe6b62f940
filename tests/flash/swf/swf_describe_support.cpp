// Describe: every field of a SWF object as text, for comparing objects in the round-trip
// tables with readable failure messages.
#include <sstream>

#include "SwfTestSupport.h"
#include "flash/swf/ControlTags.h"
#include "flash/swf/DefineSpriteTag.h"
#include "flash/swf/DisplayListTags.h"
#include "flash/swf/DoActionTag.h"
#include "flash/swf/SwfActions.h"
#include "flash/swf/SoundTags.h"
#include "flash/swf/SwfHeaderRecord.h"
#include "flash/swf/SwfRecords.h"

namespace swftest {

bool DescribeFontTextVideo(const SwfObject& o, uint8_t version, std::ostream& d);

namespace {

template <class T>
const T* As(const SwfObject& o) {
  return dynamic_cast<const T*>(&o);
}

std::string Str(const SwfString& s, uint8_t version) { return "'" + ToHex(s.Encode(version)) + "'"; }

std::string DescribeAction(const SwfAction& a) {
  std::ostringstream d;
  char code[8];
  snprintf(code, sizeof code, "a%02X", a.GetActionCode());
  d << code;
  const uint8_t v = a.version;
  if (auto* x = As<ActionGeneric>(a)) {
    if (x->code >= 0x80) d << " [" << ToHex(x->payload) << "]";
  } else if (auto* x = As<ActionGotoFrame>(a)) {
    d << " " << x->frame;
  } else if (auto* x = As<ActionGetUrl>(a)) {
    d << " " << Str(x->url, v) << " " << Str(x->target, v);
  } else if (auto* x = As<ActionStoreRegister>(a)) {
    d << " " << +x->registerNumber;
  } else if (auto* x = As<ActionConstantPool>(a)) {
    for (auto& c : x->constants) d << " " << Str(c, v);
  } else if (auto* x = As<ActionWaitForFrame>(a)) {
    d << " " << x->frame << " skip " << +x->skipCount;
  } else if (auto* x = As<ActionSetTarget>(a)) {
    d << " " << Str(x->target, v);
  } else if (auto* x = As<ActionGotoLabel>(a)) {
    d << " " << Str(x->label, v);
  } else if (auto* x = As<ActionWaitForFrame2>(a)) {
    d << " skip " << +x->skipCount;
  } else if (auto* x = As<ActionWith>(a)) {
    d << " block " << x->blockSize << " " << Str(x->name, v);
  } else if (auto* x = As<ActionPush>(a)) {
    for (auto& p : x->values) {
      d << " t" << +p.type;
      if (p.type == SwfPushValue::kString) d << "=" << Str(p.text, v);
      else if (p.type == SwfPushValue::kDouble) d << "=" << p.real;
      else if (p.type != SwfPushValue::kNull && p.type != SwfPushValue::kUndefined) d << "=" << p.number;
    }
  } else if (auto* x = As<SwfBranchAction>(a)) {
    d << " " << x->offset;
  } else if (auto* x = As<ActionGetUrl2>(a)) {
    d << " " << +x->method;
  } else if (auto* x = As<ActionGotoFrame2>(a)) {
    d << " flags " << +x->flags;
    if (x->flags & 2) d << " bias " << x->sceneBias;
    if (x->pad) d << " pad";
  }
  return d.str();
}

}  // namespace

std::string Describe(const SwfObject& o, uint8_t version) {
  std::ostringstream d;
  (void)version;
  if (auto* x = As<SwfRgba>(o)) {
    d << "rgba " << +x->r << "," << +x->g << "," << +x->b << "," << +x->a;
  } else if (auto* x = As<SwfRgb>(o)) {
    d << "rgb " << +x->r << "," << +x->g << "," << +x->b;
  } else if (auto* x = As<SwfRect>(o)) {
    d << "rect " << x->xmin << "," << x->xmax << "," << x->ymin << "," << x->ymax;
  } else if (auto* x = As<SwfMatrix>(o)) {
    d << "matrix";
    if (x->hasScale) d << " scale " << x->scaleX << "," << x->scaleY;
    if (x->hasRotate) d << " rotate " << x->rotateSkew0 << "," << x->rotateSkew1;
    d << " translate " << x->translateX << "," << x->translateY;
  } else if (auto* x = As<SwfCxformWithAlpha>(o)) {
    d << "cxforma";
    if (x->hasMult) d << " mult " << x->redMult << "," << x->greenMult << "," << x->blueMult << "," << x->alphaMult;
    if (x->hasAdd) d << " add " << x->redAdd << "," << x->greenAdd << "," << x->blueAdd << "," << x->alphaAdd;
  } else if (auto* x = As<SwfCxform>(o)) {
    d << "cxform";
    if (x->hasMult) d << " mult " << x->redMult << "," << x->greenMult << "," << x->blueMult;
    if (x->hasAdd) d << " add " << x->redAdd << "," << x->greenAdd << "," << x->blueAdd;
  } else if (auto* x = As<SwfHeaderRecord>(o)) {
    d << "header v" << +x->version << " len " << x->fileLength << " " << Describe(x->frameRect, version)
      << " rate " << x->frameRate << " frames " << x->frameCount;
  } else if (As<EndTag>(o)) {
    d << "end";
  } else if (auto* x = As<SetBackgroundColorTag>(o)) {
    d << "background " << Describe(x->color, version);
  } else if (auto* x = As<FrameLabelTag>(o)) {
    d << "label " << Str(x->name, version) << " anchor " << +x->anchor;
  } else if (As<ProtectTag>(o)) {
    d << "protect";
  } else if (auto* x = As<ExportAssetsTag>(o)) {
    d << (As<ImportAssetsTag>(o) ? "import " + Str(As<ImportAssetsTag>(o)->url, version) : "export");
    for (auto& a : x->assets) d << " " << a->characterId << "=" << Str(a->name, version);
  } else if (auto* x = As<EnableDebuggerTag>(o)) {
    d << "debugger" << (As<EnableDebugger2Tag>(o) ? "2 " + std::to_string(As<EnableDebugger2Tag>(o)->reserved) : "")
      << " " << Str(x->password, version);
  } else if (auto* x = As<SoundStreamHeadTag>(o)) {
    d << "streamhead" << x->GetTagCode() << " id " << x->characterId << " play " << +x->playbackFormat
      << " format " << +x->streamFormat << " samples " << x->sampleCount;
  } else if (auto* x = As<SoundStreamBlockTag>(o)) {
    d << "streamblock [" << ToHex(x->data) << "]";
  } else if (auto* x = As<DefineSoundTag>(o)) {
    d << "sound " << x->characterId << " format " << +x->soundFormat << " samples " << x->sampleCount << " ["
      << ToHex(x->data) << "]";
  } else if (auto* x = As<StartSoundTag>(o)) {
    const auto& i = x->soundInfo;
    d << "startsound " << x->soundId << " flags " << +i.flags;
    if (i.flags & 1) d << " in " << i.inPoint;
    if (i.flags & 2) d << " out " << i.outPoint;
    if (i.flags & 4) d << " loops " << i.loopCount;
    if (i.flags & 8)
      for (auto& p : i.envelope) d << " env " << p.position << "/" << p.leftLevel << "/" << p.rightLevel;
  } else if (As<ShowFrameTag>(o)) {
    d << "showframe";
  } else if (auto* x = As<FreeCharacterTag>(o)) {
    d << "free " << x->characterId;
  } else if (auto* x = As<RemoveObject2Tag>(o)) {
    d << "remove2 depth " << x->depth;
  } else if (auto* x = As<RemoveObjectTag>(o)) {
    d << "remove " << x->characterId << " depth " << x->depth;
  } else if (auto* x = As<PlaceObject2Tag>(o)) {
    d << "place2 depth " << x->depth << " move " << +x->move;
    if (x->hasCharacter) d << " id " << x->characterId;
    if (x->matrix) d << " " << Describe(*x->matrix, version);
    if (x->colorTransformWithAlpha) d << " " << Describe(*x->colorTransformWithAlpha, version);
    if (x->hasRatio) d << " ratio " << x->ratio;
    if (x->hasName) d << " name " << Str(x->name, version);
    if (x->hasClipDepth) d << " clip " << x->clipDepth;
    if (x->hasClipActions) d << " actions";
    for (auto& r : x->clipActions) {
      d << " [events " << r->eventFlags;
      if (r->eventFlags & kClipEventKeyPress) d << " key " << +r->keyCode;
      if (r->actions)
        for (auto& a : r->actions->actions) d << " {" << DescribeAction(*a) << "}";
      d << "]";
    }
  } else if (auto* x = As<PlaceObjectTag>(o)) {
    d << "place " << x->characterId << " depth " << x->depth;
    if (x->matrix) d << " " << Describe(*x->matrix, version);
    if (x->colorTransform) d << " " << Describe(*x->colorTransform, version);
  } else if (auto* x = As<DefineSpriteTag>(o)) {
    d << "sprite " << x->characterId << " frames " << x->frameCount;
    for (auto& t : x->tags) d << " <" << Describe(*t, version) << ">";
  } else if (auto* x = As<SwfAction>(o)) {
    d << DescribeAction(*x);
  } else if (auto* x = As<DoActionTag>(o)) {
    d << "doaction";
    for (auto& a : x->actions) d << " {" << DescribeAction(*a) << "}";
    if (!x->trailingBytes.empty()) d << " after end [" << ToHex(x->trailingBytes) << "]";
  } else if (auto* x = As<DoInitActionTag>(o)) {
    d << "doinitaction " << x->spriteId;
    for (auto& a : x->actions) d << " {" << DescribeAction(*a) << "}";
    if (!x->trailingBytes.empty()) d << " after end [" << ToHex(x->trailingBytes) << "]";
  } else if (DescribeFontTextVideo(o, version, d)) {
  } else if (auto* x = As<RawTag>(o)) {
    d << "raw " << x->code << " [" << ToHex(x->body) << "]";
  } else if (std::string drawing; DescribeDrawing(o, version, drawing)) {
    d << drawing;
  } else {
    d << "? " << typeid(o).name();
  }
  (void)Str;
  return d.str();
}

}  // namespace swftest
