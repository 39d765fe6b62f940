#include "flash/flv/AmfValue.h"

#include "flash/flv/StreamBitWriter.h"

std::unique_ptr<std::wstring> MakeWideString(const wchar_t* text) {
  return std::make_unique<std::wstring>(text ? text : L"");
}

uint32_t WriteAmfStringBody(StreamBitWriter& writer, const std::wstring* text) {
  const uint32_t start = writer.GetSize();
  size_t length = text ? text->size() : 0;
  if (length > kAmfMaxStringLength) length = kAmfMaxStringLength;
  writer.WriteU16(static_cast<uint16_t>(length));
  for (size_t i = 0; i < length; ++i)
    writer.WriteU8(static_cast<uint8_t>(static_cast<uint32_t>((*text)[i]) & 0xFF));
  return writer.GetSize() - start;
}

uint32_t WriteAmfEcmaArrayBody(StreamBitWriter& writer,
                               const std::vector<std::unique_ptr<AmfProperty>>& properties) {
  const uint32_t start = writer.GetSize();
  writer.WriteU32(static_cast<uint32_t>(properties.size()));
  for (const auto& property : properties) property->Write(writer);
  writer.WriteU8(0);
  writer.WriteU8(0);
  writer.WriteU8(9);
  return writer.GetSize() - start;
}

AmfValue::AmfValue(uint8_t type) : type_(type) {}
AmfValue::~AmfValue() = default;

void AmfValue::SetNumber(double value) {
  type_ = kAmfNumber;
  number_ = value;
}

void AmfValue::SetString(std::unique_ptr<std::wstring> text) {
  type_ = kAmfString;
  string_ = std::move(text);
}

void AmfValue::AddProperty(std::unique_ptr<AmfProperty> property) {
  if (property) properties_.push_back(std::move(property));
}

uint32_t AmfValue::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  writer.WriteU8(type_);
  switch (type_) {
    case kAmfNumber:
      writer.Write(number_);
      break;
    case kAmfBoolean:
      writer.WriteU8(byte_);
      break;
    case kAmfString:
    case kAmfObjectString:
      WriteAmfStringBody(writer, string_.get());
      break;
    case kAmfEcmaArray:
      WriteAmfEcmaArrayBody(writer, properties_);
      break;
    default:
      break;
  }
  return writer.GetSize() - start;
}

AmfProperty::AmfProperty() = default;
AmfProperty::~AmfProperty() = default;

void AmfProperty::SetName(std::unique_ptr<std::wstring> name) { name_ = std::move(name); }
void AmfProperty::SetValue(std::unique_ptr<AmfValue> value) { value_ = std::move(value); }

uint32_t AmfProperty::Write(StreamBitWriter& writer) const {
  const uint32_t start = writer.GetSize();
  WriteAmfStringBody(writer, name_.get());
  WriteAmfValueOrUndefined(writer, value_.get());
  return writer.GetSize() - start;
}

void WriteAmfValueOrUndefined(StreamBitWriter& writer, const AmfValue* value) {
  if (value)
    value->Write(writer);
  else
    writer.WriteU8(kAmfUndefined);
}
