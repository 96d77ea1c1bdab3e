// The colour chooser on X; see color_chooser.h.
//
// This is filterhost's own FLTK, linked into filterhost, apart from the copy the module links
// into itself with hidden symbols: the two open their own display connections and never see each
// other's windows. While the chooser is open the module's window does not repaint, as under any
// editor's modal colour picker.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Color_Chooser.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include "tools/filterhost/color_chooser.h"

namespace {

// The chooser's mode with its values shown as whole numbers 0..255.
constexpr int kByteMode = 1;

struct Chooser {
    Fl_Double_Window* window = nullptr;
    Fl_Color_Chooser* colour = nullptr;
    Fl_Box* chosen = nullptr;
    bool accepted = false;
};

void Show(Fl_Box* box, const Fl_Color_Chooser* colour) {
    box->color(fl_rgb_color(uchar(colour->r() * 255.0 + 0.5), uchar(colour->g() * 255.0 + 0.5),
                            uchar(colour->b() * 255.0 + 0.5)));
    box->redraw();
}

// FLTK's own fl_color_chooser() is not used: without a window manager its window never gets the
// keyboard, and it leaves its window on the screen when it returns (nothing here flushes the
// unmapping while the module's window runs its own loop).
bool Run(const char* title, uchar rgb[3]) {
    Chooser c;
    c.window = new Fl_Double_Window(320, 250, title);
    c.colour = new Fl_Color_Chooser(10, 10, 300, 170);
    new Fl_Box(FL_NO_BOX, 10, 188, 60, 24, "Before");
    Fl_Box* before = new Fl_Box(FL_DOWN_BOX, 70, 188, 70, 24, nullptr);
    before->color(fl_rgb_color(rgb[0], rgb[1], rgb[2]));
    new Fl_Box(FL_NO_BOX, 160, 188, 60, 24, "After");
    c.chosen = new Fl_Box(FL_DOWN_BOX, 220, 188, 90, 24, nullptr);
    auto* ok = new Fl_Return_Button(130, 218, 85, 26, "OK");
    auto* cancel = new Fl_Button(225, 218, 85, 26, "Cancel");
    c.window->end();
    c.window->set_modal();
    c.colour->mode(kByteMode);
    // The mode menu's bold italic at the normal size does not fit its box ("byt").
    for (int i = 0; i < c.colour->children(); ++i) {
        if (auto* mode = dynamic_cast<Fl_Choice*>(c.colour->child(i))) {
            mode->textfont(FL_HELVETICA);
            mode->textsize(12);
        }
    }
    c.colour->rgb(rgb[0] / 255.0, rgb[1] / 255.0, rgb[2] / 255.0);
    Show(c.chosen, c.colour);
    c.colour->callback(
        [](Fl_Widget* w, void* data) {
            Show(static_cast<Chooser*>(data)->chosen, static_cast<Fl_Color_Chooser*>(w));
        },
        &c);
    ok->callback(
        [](Fl_Widget*, void* data) {
            auto* chooser = static_cast<Chooser*>(data);
            chooser->accepted = true;
            chooser->window->hide();
        },
        &c);
    cancel->callback([](Fl_Widget*, void* data) { static_cast<Chooser*>(data)->window->hide(); },
                     &c);
    // Escape and the window's close box cancel (the window's default callback hides it).
    c.window->hotspot(c.window);  // centred on the pointer, which is on "Color Picker..."
    c.window->show();
    c.window->wait_for_expose();
    XSetInputFocus(fl_display, fl_xid(c.window), RevertToParent, CurrentTime);
    while (c.window->shown()) Fl::wait();
    if (c.accepted) {
        rgb[0] = uchar(c.colour->r() * 255.0 + 0.5);
        rgb[1] = uchar(c.colour->g() * 255.0 + 0.5);
        rgb[2] = uchar(c.colour->b() * 255.0 + 0.5);
    }
    delete c.window;
    Fl::flush();  // the window leaves the screen now, not at this FLTK's next event
    return c.accepted;
}

}  // namespace

bool ColorChooserAvailable() {
    // FLTK ends the process when it cannot open its display, so the display is tried first.
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XCloseDisplay(display);
    return true;
}

bool ChooseColorOnScreen(const std::string& prompt, int rgb[3]) {
    static bool schemeSet = false;
    if (!schemeSet) {
        // The scheme and background the module's window is drawn with, so the two look alike.
        Fl::scheme("gtk+");
        Fl::background(240, 240, 240);
        schemeSet = true;
    }
    uchar value[3] = {uchar(rgb[0]), uchar(rgb[1]), uchar(rgb[2])};
    if (!Run(prompt.empty() ? "Pick a color" : prompt.c_str(), value)) return false;
    for (int c = 0; c < 3; ++c) rgb[c] = value[c];
    return true;
}
