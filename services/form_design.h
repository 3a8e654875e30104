// What a program's one window looks like and what it does with its events. Each program
// describes its window here; the platform layer builds it and calls the handlers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelvo {

class TimerControl;

enum class ControlKind { Frame, CheckBox, Button, Label };

// Positions are in twips (1/1440 inch), the unit the layouts were drawn in; the platform
// converts them at the window's actual scale. A control inside a frame is placed relative to it.
struct ControlDesign {
  int id;
  ControlKind kind;
  std::wstring caption;
  int left, top, width, height;
  int parentId = 0;  // 0: placed on the window itself
};

struct FormDesign {
  std::wstring className;  // how other programs of the suite find the window
  std::wstring caption;
  std::wstring programTitle;  // shown by message boxes that have no title of their own
  int iconResource = 0;
  bool visible = false;
  int clientWidth = 0, clientHeight = 0;  // twips; used by visible windows
  TimerControl* timer = nullptr;
  std::vector<ControlDesign> controls;
  // Shown by the system while the unload handler runs at the end of the session; empty for none.
  std::wstring shutdownBlockReason;
  // Whether the window takes the suite's quiet stop: the program ends without its unload handler.
  bool acceptsQuietStop = false;
};

// Where a control lies on the window, in twips: a control inside a frame is placed relative to
// the frame, and every platform lays them out on the window itself.
struct WindowPlace {
  int left, top;
};
inline WindowPlace placeOnWindow(const FormDesign& design, const ControlDesign& control) {
  WindowPlace place{control.left, control.top};
  for (const ControlDesign& parent : design.controls) {
    if (control.parentId != 0 && parent.id == control.parentId) {
      place.left += parent.left;
      place.top += parent.top;
    }
  }
  return place;
}

// The window class of a launcher's hidden window.
inline std::wstring launcherWindowClass(std::wstring_view programName) {
  return L"Zelvo CD " + std::wstring(programName);
}

class FormHandlers {
 public:
  virtual ~FormHandlers() = default;
  // Runs once the window exists, before it is shown and before any other event.
  virtual void load() {}
  // Runs when the window is closed or the session really ends; the process ends after it.
  virtual void unload() {}
  virtual void click(int /*controlId*/) {}
};

}  // namespace zelvo
