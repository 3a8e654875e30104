// konfigurator's window on Linux: a small fixed GTK 4 window built from the FormDesign, whose
// twips become logical pixels at one scale for the whole design, the smallest at which every
// control fits the desktop's own font and widgets (as a Windows dialog grows with its font).
// Message boxes are modal GTK dialogs over the window.
#pragma once

#include <gtkmm.h>
#include <gtkmm/init.h>

#include <map>
#include <memory>
#include <string>

#include "services/form_design.h"
#include "services/process.h"
#include "services/window.h"

namespace zelvo::linux_os {

class DesignLayout;

class GtkForm final : public EventLoop, public MessageBoxes, public Window {
 public:
  explicit GtkForm(Process& process) : process_(process) {}
  GtkForm(const GtkForm&) = delete;
  GtkForm& operator=(const GtkForm&) = delete;
  ~GtkForm() override;

  // Opens the display, builds the window, runs the load handler, shows the window and
  // dispatches events until the program ends. Returns 1 when there is no display to open.
  int run(const FormDesign& design, FormHandlers& handlers);

  void processPendingEvents() override;
  void messageBox(const std::wstring& text, unsigned style,
                  const std::optional<std::wstring>& title) override;
  int checkState(int controlId) override;
  void setCheckState(int controlId, int state) override;
  void openInBrowser(const std::wstring& address) override;

 private:
  void build();
  double fittingScale() const;
  void place(double scale);

  Process& process_;
  const FormDesign* design_ = nullptr;
  FormHandlers* handlers_ = nullptr;
  std::unique_ptr<Gtk::Window> window_;
  DesignLayout* layout_ = nullptr;        // owned by the window
  std::map<int, Gtk::Widget*> controls_;  // by control id, owned by layout_
};

}  // namespace zelvo::linux_os
