#include "services/linux/gtk_form.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "services/linux/wide_text.h"

namespace zelvo::linux_os {
namespace {

constexpr double kTwipsPerPixel = 15.0;  // at the design's own scale, 96 dots per inch

int pixels(int twips, double scale) {
  return static_cast<int>(std::lround(twips * scale / kTwipsPerPixel));
}

Glib::ustring utf8(const std::wstring& text) {
  return toBytes(text);
}

}  // namespace

// Lays its children out where the design puts them, and asks for the design's size: no more, so
// that a wrapping label's wish for one long line does not widen the window.
class DesignLayout final : public Gtk::Widget {
 public:
  DesignLayout() : Glib::ObjectBase("ZelvoDesignLayout") {}
  ~DesignLayout() override {
    while (Gtk::Widget* child = get_first_child()) child->unparent();
  }

  void add(Gtk::Widget& child) { child.set_parent(*this); }
  void setSize(int width, int height) {
    width_ = width;
    height_ = height;
    queue_resize();
  }
  void setPlace(Gtk::Widget& child, const Gdk::Rectangle& place) {
    places_[&child] = place;
    queue_allocate();
  }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override {
    return Gtk::SizeRequestMode::CONSTANT_SIZE;
  }
  void measure_vfunc(Gtk::Orientation orientation, int, int& minimum, int& natural,
                     int& minimumBaseline, int& naturalBaseline) const override {
    minimum = natural = orientation == Gtk::Orientation::HORIZONTAL ? width_ : height_;
    minimumBaseline = naturalBaseline = -1;
  }
  void size_allocate_vfunc(int, int, int) override {
    for (const auto& [child, place] : places_) {
      child->size_allocate(
          Gtk::Allocation(place.get_x(), place.get_y(), place.get_width(), place.get_height()), -1);
    }
  }

 private:
  int width_ = 0, height_ = 0;
  std::map<Gtk::Widget*, Gdk::Rectangle> places_;
};

GtkForm::~GtkForm() = default;

int GtkForm::run(const FormDesign& design, FormHandlers& handlers) {
  design_ = &design;
  handlers_ = &handlers;
  // The window's class, by which desktops match it with its menu entry (StartupWMClass), and
  // its name for the accessibility tree.
  Glib::set_prgname(toBytes(design.className));
  Glib::set_application_name(utf8(design.caption));
  if (!gtk_init_check()) {
    const std::string message =
        toBytes(design.caption) + ": brak ekranu, na którym mogę pokazać okno\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message.data(), message.size());
    return 1;
  }
  Gtk::init_gtkmm_internals();
  build();
  runGuarded(process_, [&] { handlers.load(); });
  window_->signal_close_request().connect(
      [this] {
        runGuarded(process_, [this] { handlers_->unload(); });
        process_.endProgram();
        return false;
      },
      false);
  // As in a dialog, the keyboard starts at the first control that takes it.
  for (const ControlDesign& control : design.controls) {
    if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::Button) {
      window_->set_focus(*controls_.at(control.id));
      break;
    }
  }
  window_->present();
  Glib::MainLoop::create()->run();
  return 0;
}

void GtkForm::build() {
  window_ = std::make_unique<Gtk::Window>();
  window_->set_title(utf8(design_->caption));
  window_->set_resizable(false);
  window_->set_icon_name("zelvo-cd");
  layout_ = Gtk::make_managed<DesignLayout>();
  window_->set_child(*layout_);

  // Created in the design's order, which is its tab order; the frame's check boxes are its
  // siblings, placed within its bounds, as on Windows.
  for (const ControlDesign& control : design_->controls) {
    Gtk::Widget* widget = nullptr;
    switch (control.kind) {
      case ControlKind::Frame:
        widget = Gtk::make_managed<Gtk::Frame>(utf8(control.caption));
        // A screen reader names the group by its caption, as it reads it.
        gtk_accessible_update_property(GTK_ACCESSIBLE(widget->gobj()),
                                       GTK_ACCESSIBLE_PROPERTY_LABEL, utf8(control.caption).c_str(),
                                       -1);
        break;
      case ControlKind::CheckBox:
        widget = Gtk::make_managed<Gtk::CheckButton>(utf8(control.caption));
        break;
      case ControlKind::Button: {
        auto* button = Gtk::make_managed<Gtk::Button>(utf8(control.caption));
        const int id = control.id;
        button->signal_clicked().connect(
            [this, id] { runGuarded(process_, [this, id] { handlers_->click(id); }); });
        widget = button;
        break;
      }
      case ControlKind::Label: {
        auto* label = Gtk::make_managed<Gtk::Label>(utf8(control.caption));
        label->set_wrap(true);
        label->set_wrap_mode(Pango::WrapMode::WORD);
        label->set_xalign(0);
        label->set_yalign(0);
        label->set_valign(Gtk::Align::START);
        widget = label;
        break;
      }
    }
    layout_->add(*widget);
    controls_[control.id] = widget;
  }
  place(fittingScale());
}

double GtkForm::fittingScale() const {
  // The design was drawn for a small dialog font; the desktop's is larger. The smallest scale at
  // which every control takes at least the room it needs, found by growing it: a label's height
  // depends on the width it wraps at.
  double scale = 1.0;
  for (int round = 0; round < 8; ++round) {
    double needed = scale;
    for (const ControlDesign& control : design_->controls) {
      Gtk::Widget* widget = controls_.at(control.id);
      const int width = pixels(control.width, scale);
      int minimum = 0, natural = 0, ignored = 0;
      // A label wraps, so only its height is bound by the width it is given.
      if (control.kind != ControlKind::Label) {
        widget->measure(Gtk::Orientation::HORIZONTAL, -1, minimum, natural, ignored, ignored);
        needed = std::max(needed, natural * kTwipsPerPixel / control.width);
      }
      widget->measure(Gtk::Orientation::VERTICAL, std::max(width, 1), minimum, natural, ignored,
                      ignored);
      if (control.kind != ControlKind::Frame) {
        needed = std::max(needed, natural * kTwipsPerPixel / control.height);
      }
    }
    if (needed <= scale * 1.001) break;
    scale = needed;
  }
  return scale;
}

void GtkForm::place(double scale) {
  for (const ControlDesign& control : design_->controls) {
    Gtk::Widget* widget = controls_.at(control.id);
    const WindowPlace place = placeOnWindow(*design_, control);
    layout_->setPlace(*widget,
                      Gdk::Rectangle(pixels(place.left, scale), pixels(place.top, scale),
                                     pixels(control.width, scale), pixels(control.height, scale)));
  }
  layout_->setSize(pixels(design_->clientWidth, scale), pixels(design_->clientHeight, scale));
}

void GtkForm::processPendingEvents() {
  while (g_main_context_pending(nullptr)) g_main_context_iteration(nullptr, FALSE);
}

void GtkForm::messageBox(const std::wstring& text, unsigned style,
                         const std::optional<std::wstring>& title) {
  const auto type = style == kStyleExclamation   ? Gtk::MessageType::WARNING
                    : style == kStyleInformation ? Gtk::MessageType::INFO
                                                 : Gtk::MessageType::OTHER;
  Gtk::MessageDialog box(*window_, utf8(text), false, type, Gtk::ButtonsType::OK, true);
  const Glib::ustring boxTitle = utf8(title ? *title : design_->programTitle);
  box.set_title(boxTitle);
  box.set_hide_on_close(true);
  // A short text makes a narrow box, and the window manager cuts the title it draws beside its
  // icon and buttons ("Zelvo CD -…nfigurator"). The box is at least as wide as the title in bold
  // at the desktop's font, as frames draw titles, with room for four buttons two lines wide.
  auto titleLayout = box.create_pango_layout(boxTitle);
  Pango::AttrList bold;
  auto weight = Pango::Attribute::create_attr_weight(Pango::Weight::BOLD);
  bold.insert(weight);
  titleLayout->set_attributes(bold);
  int titleWidth = 0, lineHeight = 0;
  titleLayout->get_pixel_size(titleWidth, lineHeight);
  box.set_size_request(titleWidth + 8 * lineHeight, -1);
  // Modal for the caller too: it returns once the user has dismissed the box.
  auto dismissed = Glib::MainLoop::create();
  box.signal_response().connect([&](int) {
    box.hide();
    dismissed->quit();
  });
  box.present();
  dismissed->run();
}

int GtkForm::checkState(int controlId) {
  const auto* check = dynamic_cast<Gtk::CheckButton*>(controls_.at(controlId));
  return check && check->get_active() ? 1 : 0;
}

void GtkForm::setCheckState(int controlId, int state) {
  if (auto* check = dynamic_cast<Gtk::CheckButton*>(controls_.at(controlId))) {
    check->set_active(state == 1);
  }
}

void GtkForm::openInBrowser(const std::wstring& address) {
  // An address is opened as it is; a local page by its file URL.
  const std::string text = toBytes(address);
  const std::string uri =
      text.find("://") != std::string::npos ? text : Gio::File::create_for_path(text)->get_uri();
  // The browser starts on its own; nothing waits for it, and a failure stays silent.
  gtk_show_uri(window_->gobj(), uri.c_str(), GDK_CURRENT_TIME);
}

}  // namespace zelvo::linux_os
