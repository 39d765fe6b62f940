#include "toolbox/Nib.h"

#include <expat.h>

#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

#include "toolbox/AppLocation.h"
#include "toolbox/Controls.h"
#include "toolbox/Utf8.h"

namespace toolbox {
namespace {

constexpr std::size_t kMaxNibBytes = 1 << 20;
constexpr int kMaxDepth = 32;
constexpr int kMaxElements = 4096;

struct Attributes {
  std::map<std::string, std::string> values;
  std::string Get(const std::string& name, const std::string& fallback = {}) const {
    auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
  }
  bool Has(const std::string& name) const { return values.count(name) != 0; }
};

class NibParser {
 public:
  explicit NibParser(NibDescription* out) : out_(out) {}

  bool Parse(const std::string& xml, std::string* error) {
    if (xml.size() > kMaxNibBytes) {
      *error = "the nib is larger than 1 MB";
      return false;
    }
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate("UTF-8"), &XML_ParserFree);
    if (!parser) {
      *error = "out of memory";
      return false;
    }
    parser_ = parser.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &NibParser::Start, &NibParser::End);
    XML_SetStartDoctypeDeclHandler(parser_, &NibParser::Doctype);
    XML_Status status = XML_Parse(parser_, xml.data(), static_cast<int>(xml.size()), XML_TRUE);
    if (!error_.empty()) {
      *error = error_;
      return false;
    }
    if (status != XML_STATUS_OK) {
      *error = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
               XML_ErrorString(XML_GetErrorCode(parser_));
      return false;
    }
    return true;
  }

 private:
  static void XMLCALL Start(void* user, const XML_Char* name, const XML_Char** attrs) {
    auto* self = static_cast<NibParser*>(user);
    Attributes a;
    for (int i = 0; attrs[i] && attrs[i + 1]; i += 2) a.values[attrs[i]] = attrs[i + 1];
    self->OnStart(name, a);
  }
  static void XMLCALL End(void* user, const XML_Char*) {
    auto* self = static_cast<NibParser*>(user);
    if (!self->stack_.empty()) self->stack_.pop_back();
    if (!self->controlStack_.empty() && self->popControl_.back()) self->controlStack_.pop_back();
    if (!self->popControl_.empty()) self->popControl_.pop_back();
  }
  static void XMLCALL Doctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<NibParser*>(user)->Fail("document type declarations are not allowed");
  }

  void Fail(const std::string& message) {
    if (error_.empty())
      error_ = "line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " + message;
    XML_StopParser(parser_, XML_FALSE);
  }

  bool Allowed(const Attributes& a, std::initializer_list<const char*> names) {
    for (const auto& [key, value] : a.values) {
      bool known = false;
      for (const char* n : names) known = known || key == n;
      if (!known) {
        Fail("unknown attribute \"" + key + "\"");
        return false;
      }
    }
    return true;
  }

  bool Number(const Attributes& a, const char* name, long minimum, long maximum, long fallback,
              long* out) {
    if (!a.Has(name)) {
      *out = fallback;
      return true;
    }
    std::string text = a.Get(name);
    long value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < minimum || value > maximum) {
      Fail(std::string("attribute \"") + name + "\" is not a number from " +
           std::to_string(minimum) + " to " + std::to_string(maximum));
      return false;
    }
    *out = value;
    return true;
  }

  bool Code(const Attributes& a, const char* name, OSType* out) {
    *out = 0;
    if (!a.Has(name)) return true;
    std::string text = a.Get(name);
    if (text.empty()) return true;
    if (text.size() != 4) {
      Fail(std::string("attribute \"") + name + "\" must be four characters");
      return false;
    }
    char code[5] = {text[0], text[1], text[2], text[3], 0};
    *out = FourCC(code);
    return true;
  }

  bool Flag(const Attributes& a, const char* name, bool fallback, bool* out) {
    if (!a.Has(name)) {
      *out = fallback;
      return true;
    }
    std::string v = a.Get(name);
    if (v == "true") *out = true;
    else if (v == "false") *out = false;
    else {
      Fail(std::string("attribute \"") + name + "\" must be true or false");
      return false;
    }
    return true;
  }

  bool Bounds(const Attributes& a, Rect* out) {
    long left, top, width, height;
    if (!Number(a, "left", -32768, 32767, 0, &left) || !Number(a, "top", -32768, 32767, 0, &top) ||
        !Number(a, "width", 0, 32767, 0, &width) || !Number(a, "height", 0, 32767, 0, &height))
      return false;
    if (left + width > 32767 || top + height > 32767) {
      Fail("the bounds do not fit in 16-bit coordinates");
      return false;
    }
    out->left = static_cast<short>(left);
    out->top = static_cast<short>(top);
    out->right = static_cast<short>(left + width);
    out->bottom = static_cast<short>(top + height);
    return true;
  }

  void OnStart(const std::string& name, const Attributes& a) {
    if (!error_.empty()) return;
    if (++elements_ > kMaxElements) return Fail("too many elements");
    if (static_cast<int>(stack_.size()) >= kMaxDepth) return Fail("elements nested too deeply");
    const std::string parent = stack_.empty() ? std::string() : stack_.back();
    stack_.push_back(name);
    popControl_.push_back(false);

    if (name == "nib") {
      if (!parent.empty()) return Fail("<nib> must be the root element");
      Allowed(a, {});
    } else if (name == "menubar") {
      if (parent != "nib") return Fail("<menubar> belongs in <nib>");
      if (!Allowed(a, {"name"})) return;
      out_->menuBars.push_back(NibMenuBar{a.Get("name"), {}});
    } else if (name == "menu") {
      if (parent != "menubar") return Fail("<menu> belongs in <menubar>");
      if (!Allowed(a, {"id", "title"})) return;
      long id;
      if (!Number(a, "id", -32768, 32767, 0, &id)) return;
      out_->menuBars.back().menus.push_back(
          NibMenu{static_cast<std::int16_t>(id), Utf8ToWide(a.Get("title")), {}});
    } else if (name == "item" || name == "separator") {
      if (parent != "menu") return Fail("<" + name + "> belongs in <menu>");
      MenuItemInfo item;
      if (name == "separator") {
        if (!Allowed(a, {})) return;
        item.attributes = kMenuItemAttrSeparator;
      } else {
        if (!Allowed(a, {"title", "command", "key", "modifiers", "enabled"})) return;
        item.text = Utf8ToWide(a.Get("title"));
        long modifiers;
        if (!Code(a, "command", &item.command) || !Number(a, "modifiers", 0, 255, 0, &modifiers) ||
            !Flag(a, "enabled", true, &item.enabled))
          return;
        item.modifiers = static_cast<std::uint8_t>(modifiers);
        std::wstring key = Utf8ToWide(a.Get("key"));
        if (key.size() > 1) return Fail("attribute \"key\" must be one character");
        item.key = key.empty() ? 0 : static_cast<char32_t>(key[0]);
      }
      out_->menuBars.back().menus.back().items.push_back(item);
    } else if (name == "window") {
      if (parent != "nib") return Fail("<window> belongs in <nib>");
      if (!Allowed(a, {"name", "class", "title", "left", "top", "width", "height", "closebox",
                       "resizable", "standard-handler"}))
        return;
      NibWindow w;
      w.name = a.Get("name");
      std::string cls = a.Get("class", "document");
      if (cls == "document") w.windowClass = kDocumentWindowClass;
      else if (cls == "movable-modal") w.windowClass = kMovableModalWindowClass;
      else if (cls == "floating") w.windowClass = kFloatingWindowClass;
      else if (cls == "utility") w.windowClass = kUtilityWindowClass;
      else if (cls == "sheet") w.windowClass = kSheetWindowClass;
      else return Fail("unknown window class \"" + cls + "\"");
      bool closeBox, resizable, standard;
      if (!Flag(a, "closebox", false, &closeBox) || !Flag(a, "resizable", false, &resizable) ||
          !Flag(a, "standard-handler", true, &standard) || !Bounds(a, &w.bounds))
        return;
      w.attributes = (closeBox ? kWindowCloseBoxAttribute : 0) |
                     (resizable ? kWindowResizableAttribute : 0) |
                     (standard ? kWindowStandardHandlerAttribute : 0);
      w.title = Utf8ToWide(a.Get("title"));
      out_->windows.push_back(std::move(w));
      controlStack_.clear();
    } else if (name == "control") {
      if (parent != "window" && parent != "control")
        return Fail("<control> belongs in <window> or <control>");
      if (!Allowed(a, {"kind", "signature", "id", "command", "title", "left", "top", "width",
                       "height", "value", "minimum", "maximum", "help"}))
        return;
      NibControl c;
      std::string kind = a.Get("kind", "push");
      if (kind == "push") c.kind = kControlKindPushButton;
      else if (kind == "check") c.kind = kControlKindCheckBox;
      else if (kind == "static") c.kind = kControlKindStaticText;
      else if (kind == "edit") c.kind = kControlKindEditText;
      else if (kind == "pane") c.kind = kControlKindUserPane;
      else if (kind == "radio") c.kind = kControlKindRadioButton;
      else if (kind == "popup") c.kind = kControlKindPopupButton;
      else if (kind == "bevel") c.kind = kControlKindBevelButton;
      else if (kind == "slider") c.kind = kControlKindSlider;
      else if (kind == "scrollbar") c.kind = kControlKindScrollBar;
      else if (kind == "progress") c.kind = kControlKindProgressBar;
      else if (kind == "tabs") c.kind = kControlKindTabs;
      else if (kind == "list") c.kind = kControlKindDataBrowser;
      else return Fail("unknown control kind \"" + kind + "\"");
      long id, value, minimum, maximum;
      const long lo = -2147483647L - 1, hi = 2147483647L;
      if (!Code(a, "signature", &c.id.signature) || !Number(a, "id", lo, hi, 0, &id) ||
          !Code(a, "command", &c.command) || !Bounds(a, &c.bounds) ||
          !Number(a, "value", lo, hi, 0, &value) || !Number(a, "minimum", lo, hi, 0, &minimum) ||
          !Number(a, "maximum", lo, hi, 1, &maximum))
        return;
      c.id.id = static_cast<std::int32_t>(id);
      c.value = static_cast<std::int32_t>(value);
      c.minimum = static_cast<std::int32_t>(minimum);
      c.maximum = static_cast<std::int32_t>(maximum);
      c.title = Utf8ToWide(a.Get("title"));
      c.help = Utf8ToWide(a.Get("help"));
      std::vector<NibControl>& siblings =
          controlStack_.empty() ? out_->windows.back().controls : controlStack_.back()->children;
      siblings.push_back(std::move(c));
      controlStack_.push_back(&siblings.back());
      popControl_.back() = true;
    } else if (name == "entry") {
      if (parent != "control") return Fail("<entry> belongs in <control>");
      if (!Allowed(a, {"title", "command", "separator"})) return;
      MenuItemInfo item;
      bool separator;
      if (!Code(a, "command", &item.command) || !Flag(a, "separator", false, &separator)) return;
      item.text = Utf8ToWide(a.Get("title"));
      if (separator) item.attributes = kMenuItemAttrSeparator;
      controlStack_.back()->entries.push_back(item);
    } else {
      Fail("unknown element <" + name + ">");
    }
  }

  NibDescription* out_;
  XML_Parser parser_ = nullptr;
  std::string error_;
  std::vector<std::string> stack_;
  // Controls being filled, innermost last. Pointers stay valid: a vector only grows while
  // none of its elements is on this stack (children are added to the innermost control).
  std::vector<NibControl*> controlStack_;
  std::vector<bool> popControl_;
  int elements_ = 0;
};

struct NibRegistry {
  std::map<std::uint64_t, std::shared_ptr<const NibDescription>> nibs;
  std::string lastError;
};

// Never destroyed: nib references held by static objects are released after the end of
// main.
NibRegistry& Registry() {
  static NibRegistry* registry = new NibRegistry;
  return *registry;
}

const NibDescription* FindNib(NibRefHandle nib) {
  auto it = Registry().nibs.find(nib.id);
  return it == Registry().nibs.end() ? nullptr : it->second.get();
}

bool PlainName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          c == '_' || c == '-'))
      return false;
  return true;
}

OSStatus CreateControls(WindowRef window, const std::vector<NibControl>& controls,
                        ControlRef parent) {
  for (const NibControl& c : controls) {
    ControlRef ref;
    if (OSStatus s = CreateControl(window, c.kind, c.bounds, c.title, &ref)) return s;
    SetControlID(ref, c.id);
    SetControlCommandID(ref, c.command);
    SetControlMinimum(ref, c.minimum);
    SetControlMaximum(ref, c.maximum);
    SetControlValue(ref, c.value);
    if (!c.help.empty()) SetControlHelpText(ref, c.help);
    if (c.kind == kControlKindTabs) {
      std::vector<std::wstring> titles;
      for (const MenuItemInfo& e : c.entries) titles.push_back(e.text);
      SetTabTitles(ref, titles);
      SetControlValue(ref, c.value);
    } else if (c.kind == kControlKindPopupButton || c.kind == kControlKindBevelButton) {
      MenuRef menu;
      if (OSStatus s = CreateNewMenu(0, L"", &menu)) return s;
      for (const MenuItemInfo& e : c.entries) AppendMenuItem(menu, e);
      SetControlMenu(ref, menu, true);
      if (c.kind == kControlKindPopupButton && !c.entries.empty()) {
        SetControlMinimum(ref, 1);
        SetControlMaximum(ref, static_cast<std::int32_t>(c.entries.size()));
        SetControlValue(ref, c.value);
      }
    }
    if (parent) EmbedControl(ref, parent);
    if (OSStatus s = CreateControls(window, c.children, ref)) return s;
  }
  return kNoErr;
}

}  // namespace

bool ParseNib(const std::string& xml, NibDescription* out, std::string* error) {
  NibDescription parsed;
  std::string message;
  NibParser parser(&parsed);
  if (!parser.Parse(xml, &message)) {
    if (error) *error = message;
    return false;
  }
  if (out) *out = std::move(parsed);
  return true;
}

OSStatus CreateNibReferenceFromFile(const std::string& utf8Path, NibRefHandle* outNib) {
  std::ifstream in(utf8Path, std::ios::binary);
  if (!in) {
    Registry().lastError = utf8Path + ": cannot be opened";
    return kNotFoundErr;
  }
  std::string xml;
  char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    xml.append(buf, static_cast<std::size_t>(in.gcount()));
    if (xml.size() > kMaxNibBytes) break;
  }
  auto description = std::make_shared<NibDescription>();
  std::string error;
  if (!ParseNib(xml, description.get(), &error)) {
    Registry().lastError = utf8Path + ": " + error;
    return kNibFormatErr;
  }
  NibRefHandle ref{NextHandleId()};
  Registry().nibs[ref.id] = std::move(description);
  if (outNib) *outNib = ref;
  return kNoErr;
}

OSStatus CreateNibReference(const std::string& nibName, NibRefHandle* outNib) {
  if (!PlainName(nibName)) {
    Registry().lastError = "\"" + nibName + "\" is not a nib name";
    return kNotFoundErr;
  }
  std::string folder = ResourcesFolder();
  if (folder.empty()) {
    Registry().lastError = "the application's data folder is missing";
    return kNotFoundErr;
  }
  return CreateNibReferenceFromFile(folder + "nibs/" + nibName + ".xml", outNib);
}

OSStatus DisposeNibReference(NibRefHandle nib) {
  return Registry().nibs.erase(nib.id) ? kNoErr : kParamErr;
}

std::string LastNibError() { return Registry().lastError; }

OSStatus CreateWindowFromNib(NibRefHandle nib, const std::string& windowName,
                             WindowRef* outWindow) {
  const NibDescription* d = FindNib(nib);
  if (!d) return kParamErr;
  for (const NibWindow& w : d->windows) {
    if (w.name != windowName) continue;
    WindowRef window;
    if (OSStatus s = CreateNewWindow(w.windowClass, w.attributes, w.bounds, &window)) return s;
    SetWindowTitle(window, w.title);
    SetWindowName(window, w.name);
    if (OSStatus s = CreateControls(window, w.controls, ControlRef{})) {
      DisposeWindow(window);
      return s;
    }
    if (outWindow) *outWindow = window;
    return kNoErr;
  }
  return kNotFoundErr;
}

OSStatus SetMenuBarFromNib(NibRefHandle nib, const std::string& menuBarName) {
  const NibDescription* d = FindNib(nib);
  if (!d) return kParamErr;
  for (const NibMenuBar& bar : d->menuBars) {
    if (bar.name != menuBarName) continue;
    for (MenuRef old : GetMenuBar()) DisposeMenu(old);
    std::vector<MenuRef> menus;
    for (const NibMenu& m : bar.menus) {
      MenuRef menu;
      CreateNewMenu(m.id, m.title, &menu);
      for (const MenuItemInfo& item : m.items) AppendMenuItem(menu, item);
      menus.push_back(menu);
    }
    SetMenuBar(menus);
    return kNoErr;
  }
  return kNotFoundErr;
}

}  // namespace toolbox
