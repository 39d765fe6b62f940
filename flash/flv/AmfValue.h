#pragma once
// AMF0 values as FLV script data carries them: numbers, booleans, strings and ECMA arrays of
// named properties, serialised big-endian.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class StreamBitWriter;
class AmfProperty;

// AMF0 type markers this system writes.
enum : uint8_t {
  kAmfNumber = 0,
  kAmfBoolean = 1,
  kAmfString = 2,
  kAmfObjectString = 4,  // written exactly as a string
  kAmfUndefined = 6,
  kAmfEcmaArray = 8,
};

// Longest name or string the u16 character count can describe; longer text is cut there.
constexpr uint32_t kAmfMaxStringLength = 0xFFFF;

// A new owned wide string; empty for null.
std::unique_ptr<std::wstring> MakeWideString(const wchar_t* text);

// Writes an AMF0 string body: u16 character count, then the low 8 bits of each character.
// A null string is written as the empty string. Returns the bytes written.
uint32_t WriteAmfStringBody(StreamBitWriter& writer, const std::wstring* text);
class AmfValue;
// Writes the value, or the undefined marker when there is none, so that the data stays readable.
void WriteAmfValueOrUndefined(StreamBitWriter& writer, const AmfValue* value);

class AmfValue {
 public:
  explicit AmfValue(uint8_t type);
  ~AmfValue();
  AmfValue(const AmfValue&) = delete;
  AmfValue& operator=(const AmfValue&) = delete;

  void SetNumber(double value);
  void SetString(std::unique_ptr<std::wstring> text);
  void AddProperty(std::unique_ptr<AmfProperty> property);

  // The type byte and its payload; returns the bytes written.
  uint32_t Write(StreamBitWriter& writer) const;

  uint8_t GetType() const { return type_; }
  const std::vector<std::unique_ptr<AmfProperty>>& GetProperties() const { return properties_; }

 private:
  uint8_t type_;
  double number_ = 0;
  uint8_t byte_ = 0;
  std::unique_ptr<std::wstring> string_;
  std::vector<std::unique_ptr<AmfProperty>> properties_;
};

class AmfProperty {
 public:
  AmfProperty();
  ~AmfProperty();
  AmfProperty(const AmfProperty&) = delete;
  AmfProperty& operator=(const AmfProperty&) = delete;

  void SetName(std::unique_ptr<std::wstring> name);
  void SetValue(std::unique_ptr<AmfValue> value);

  // The name as a string body (no type byte), then the value as a complete AMF0 value; a
  // property without a value gets the undefined marker so the array stays readable.
  uint32_t Write(StreamBitWriter& writer) const;

  const std::wstring* GetName() const { return name_.get(); }
  const AmfValue* GetValue() const { return value_.get(); }

 private:
  std::unique_ptr<std::wstring> name_;
  std::unique_ptr<AmfValue> value_;
};

// Writes an ECMA array body after its type byte: u32 count, the properties, end marker
// 00 00 09. Returns the bytes written.
uint32_t WriteAmfEcmaArrayBody(StreamBitWriter& writer,
                               const std::vector<std::unique_ptr<AmfProperty>>& properties);
