// A test helper that makes top-level windows on the X server DISPLAY names, as
// visualisations and Wine make them, one command a line on standard input:
//
//   open ID HOW TITLE    a window titled TITLE (UTF-8); HOW is a comma list of
//                        net (_NET_WM_NAME, UTF-8), wm (WM_NAME, STRING: Latin-1),
//                        ct (WM_NAME, COMPOUND_TEXT), hidden (never mapped),
//                        in=ID (a child of window ID, as on Wine's virtual desktop);
//                        answers "ID WINDOW" once the server has it
//   close ID             destroys it; answers "closed ID"
//
// It ends, and its windows with it, when its standard input ends.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

xcb_atom_t Atom(xcb_connection_t* x, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      x, xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

// UTF-8 as Latin-1, for a WM_NAME of type STRING (the tests' titles fit it).
std::string Latin1(const std::string& utf8) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte >= 0xC0 && i + 1 < utf8.size()) {
      text.push_back(static_cast<char>(((byte & 0x1F) << 6) | (utf8[++i] & 0x3F)));
    } else {
      text.push_back(static_cast<char>(byte));
    }
  }
  return text;
}

void SetText(xcb_connection_t* x, xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
             const std::string& text) {
  xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, property, type, 8,
                      static_cast<std::uint32_t>(text.size()), text.data());
}

}  // namespace

int main() {
  xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(x)) {
    std::fprintf(stderr, "x_windows: cannot open the display\n");
    return 1;
  }
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const xcb_atom_t netName = Atom(x, "_NET_WM_NAME");
  const xcb_atom_t utf8 = Atom(x, "UTF8_STRING");
  const xcb_atom_t compoundText = Atom(x, "COMPOUND_TEXT");
  std::map<std::string, xcb_window_t> windows;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command, id, how;
    words >> command >> id;
    if (command == "close") {
      xcb_destroy_window(x, windows[id]);
      windows.erase(id);
      std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));  // a round trip
      std::printf("closed %s\n", id.c_str());
    } else if (command == "open") {
      words >> how;
      std::string title;
      std::getline(words >> std::ws, title);
      xcb_window_t parent = screen->root;
      const std::size_t in = how.find("in=");
      if (in != std::string::npos) parent = windows[how.substr(in + 3, how.find(',', in) - in - 3)];
      const xcb_window_t window = xcb_generate_id(x);
      xcb_create_window(x, XCB_COPY_FROM_PARENT, window, parent, 10, 10, 160, 60, 0,
                        XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
      if (how.find("net") != std::string::npos) SetText(x, window, netName, utf8, title);
      if (how.find("wm") != std::string::npos)
        SetText(x, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, Latin1(title));
      if (how.find("ct") != std::string::npos)
        SetText(x, window, XCB_ATOM_WM_NAME, compoundText, Latin1(title) + "\x1b-Bignored");
      if (how.find("hidden") == std::string::npos) xcb_map_window(x, window);
      windows[id] = window;
      std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
      std::printf("%s %u\n", id.c_str(), window);
    }
    std::fflush(stdout);
  }
  xcb_disconnect(x);
  return 0;
}
