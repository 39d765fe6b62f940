// Describe for the drawing objects: styles, shapes and their tags.
#include <sstream>

#include "SwfTestSupport.h"
#include "flash/swf/DrawingTags.h"

namespace swftest {
namespace {

template <class T>
const T* As(const SwfObject& o) {
  return dynamic_cast<const T*>(&o);
}

std::string Of(const SwfObject* o, uint8_t v) { return o ? Describe(*o, v) : "-"; }

void Records(std::ostringstream& d, const SwfShape& s, uint8_t v) {
  d << " bits " << +s.headerFillBits << "/" << +s.headerLineBits << (s.malformed ? " malformed" : "");
  for (auto& r : s.records) d << " {" << Describe(*r, v) << "}";
}

}  // namespace

bool DescribeDrawing(const SwfObject& o, uint8_t v, std::string& out) {
  std::ostringstream d;
  if (auto* x = As<SwfGradientRecord>(o)) {
    d << "grad " << +x->ratio << " " << Of(x->color.get(), v);
  } else if (auto* x = As<SwfGradient>(o)) {
    d << "gradient";
    for (auto& r : x->records) d << " (" << Describe(*r, v) << ")";
  } else if (auto* x = As<SwfFillStyle>(o)) {
    d << "fill " << +x->fillType;
    if (x->color) d << " " << Describe(*x->color, v);
    if (x->matrix) d << " " << Describe(*x->matrix, v);
    if (x->gradient) d << " " << Describe(*x->gradient, v);
    if (IsBitmapFillType(x->fillType)) d << " bitmap " << x->bitmapId;
  } else if (auto* x = As<SwfLineStyle>(o)) {
    d << "line " << x->width << " " << Of(x->color.get(), v);
  } else if (auto* x = As<SwfFillStyleArray>(o)) {
    d << "fills " << x->count << (x->malformed ? " malformed" : "");
    for (auto& s : x->styles) d << " [" << Describe(*s, v) << "]";
  } else if (auto* x = As<SwfLineStyleArray>(o)) {
    d << "lines " << x->count;
    for (auto& s : x->styles) d << " [" << Describe(*s, v) << "]";
  } else if (auto* x = As<SwfStyleChangeRecord>(o)) {
    d << "style " << +x->flags;
    if (x->flags & kStyleChangeMove) d << " move " << x->moveX << "," << x->moveY;
    if (x->flags & kStyleChangeFill0) d << " f0 " << x->fillStyle0;
    if (x->flags & kStyleChangeFill1) d << " f1 " << x->fillStyle1;
    if (x->flags & kStyleChangeLine) d << " l " << x->lineStyle;
    if (x->newFillStyles) d << " " << Describe(*x->newFillStyles, v);
    if (x->newLineStyles) d << " " << Describe(*x->newLineStyles, v);
  } else if (auto* x = As<SwfStraightEdgeRecord>(o)) {
    d << "line" << +x->lineKind << " " << x->dx << "," << x->dy;
  } else if (auto* x = As<SwfCurvedEdgeRecord>(o)) {
    d << "curve " << x->controlDx << "," << x->controlDy << " " << x->anchorDx << "," << x->anchorDy;
  } else if (As<SwfEndShapeRecord>(o)) {
    d << "end";
  } else if (auto* x = As<SwfShapeWithStyle>(o)) {
    d << "shapewithstyle " << Of(x->fillStyles.get(), v) << " " << Of(x->lineStyles.get(), v);
    Records(d, *x, v);
  } else if (auto* x = As<SwfShape>(o)) {
    d << "shape";
    Records(d, *x, v);
  } else if (auto* x = As<DefineShapeTag>(o)) {
    d << "defineshape" << x->GetTagCode() << " " << x->characterId;
    if (x->keptAsRead) d << " as read [" << ToHex(x->bodyAsRead) << "]";
    else d << " " << Of(x->bounds.get(), v) << " " << Of(x->shape.get(), v);
  } else if (auto* x = As<SwfMorphGradientRecord>(o)) {
    d << "mgrad " << +x->startRatio << " " << Of(x->startColor.get(), v) << " " << +x->endRatio << " "
      << Of(x->endColor.get(), v);
  } else if (auto* x = As<SwfMorphFillStyle>(o)) {
    d << "mfill " << +x->fillType << " " << Of(x->startColor.get(), v) << " " << Of(x->endColor.get(), v) << " "
      << Of(x->startMatrix.get(), v) << " " << Of(x->endMatrix.get(), v);
    if (x->gradient)
      for (auto& r : x->gradient->records) d << " (" << Describe(*r, v) << ")";
    if (IsBitmapFillType(x->fillType)) d << " bitmap " << x->bitmapId;
  } else if (auto* x = As<SwfMorphLineStyle>(o)) {
    d << "mline " << x->startWidth << "/" << x->endWidth << " " << Of(x->startColor.get(), v) << " "
      << Of(x->endColor.get(), v);
  } else if (auto* x = As<DefineMorphShapeTag>(o)) {
    d << "morph " << x->characterId;
    if (x->keptAsRead) {
      d << " as read [" << ToHex(x->bodyAsRead) << "]";
    } else {
      d << " " << Of(x->startBounds.get(), v) << " " << Of(x->endBounds.get(), v);
      if (x->fillStyles)
        for (auto& s : x->fillStyles->styles) d << " [" << Describe(*s, v) << "]";
      d << " /";
      if (x->lineStyles)
        for (auto& s : x->lineStyles->styles) d << " [" << Describe(*s, v) << "]";
      d << " " << Of(x->startEdges.get(), v) << " " << Of(x->endEdges.get(), v);
    }
  } else if (auto* x = As<DefineBitsTag>(o)) {
    d << "bits " << x->characterId << " [" << ToHex(x->data) << "]";
  } else if (auto* x = As<JpegTablesTag>(o)) {
    d << "jpegtables [" << ToHex(x->data) << "]";
  } else if (auto* x = As<DefineBitsJpeg3Tag>(o)) {
    d << "jpeg3 " << x->characterId << " [" << ToHex(x->data) << "] alpha [" << ToHex(x->alphaData) << "]";
  } else if (auto* x = As<DefineBitsJpeg2Tag>(o)) {
    d << "jpeg2 " << x->characterId << " [" << ToHex(x->data) << "]";
  } else if (auto* x = As<DefineBitsLosslessTag>(o)) {
    d << "lossless" << x->GetTagCode() << " " << x->characterId << " format " << +x->format << " " << x->width << "x"
      << x->height << " colours " << +x->colorTableSize << " [" << ToHex(x->data) << "]";
  } else if (auto* x = As<DefineButtonTag>(o)) {
    d << "button" << x->GetTagCode() << " " << x->characterId;
    auto* b2 = As<DefineButton2Tag>(o);
    if (b2 && b2->keptAsRead) {
      d << " as read [" << ToHex(b2->bodyAsRead) << "]";
    } else {
      if (b2) d << " flags " << +b2->flags;
      for (auto& r : x->records) {
        d << " [state " << +r->stateFlags << " id " << r->characterId << " depth " << r->depth << " "
          << Of(r->matrix.get(), v) << " " << Of(r->cxform.get(), v);
        if (r->stateFlags & kButtonHasFilterList) d << " filters " << ToHex(r->filterList);
        if (r->stateFlags & kButtonHasBlendMode) d << " blend " << +r->blendMode;
        d << "]";
      }
      for (size_t i = 0; i < x->actionLists.size(); ++i) {
        d << " (";
        if (b2 && i < b2->conditions.size()) d << "if " << b2->conditions[i] << " ";
        d << Describe(*x->actionLists[i], v) << ")";
      }
    }
  } else if (auto* x = As<DefineButtonCxformTag>(o)) {
    d << "buttoncxform " << x->characterId << " " << Of(x->cxform.get(), v) << " [" << ToHex(x->trailing) << "]";
  } else if (auto* x = As<DefineButtonSoundTag>(o)) {
    d << "buttonsound " << x->characterId;
    for (int i = 0; i < DefineButtonSoundTag::kTransitions; ++i) {
      d << " " << x->soundIds[i];
      if (x->soundIds[i]) d << "/" << +x->soundInfos[i].flags << "/" << x->soundInfos[i].loopCount;
    }
  } else {
    return false;
  }
  out = d.str();
  return true;
}

}  // namespace swftest
