// The native host's window lookup on the X server DISPLAY names (bench/window_bench.sh
// starts Xvfb, with and without a window manager): one lookup among 100 and among 1,000
// top-level windows, for a title that is there (made last) and for one that is not (every
// window looked at). With --hold TITLE it only holds a window of that title until its
// standard input ends, for a program to watch.
#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/posix/x11/x_display.h"

namespace {

// Windows titled "window N" (and the last "the watched one"), kept until the end.
void MakeWindows(xcb_connection_t* x, int count) {
  static int made = 0;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
  const char* name = "_NET_WM_NAME";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 12, name), nullptr);
  const xcb_atom_t netName = atom->atom;
  std::free(atom);
  for (; made < count; ++made) {
    const xcb_window_t window = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const std::string title = "window " + std::to_string(made);
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, netName, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_map_window(x, window);
  }
  std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
}

xcb_connection_t* Windows() {
  static xcb_connection_t* x = xcb_connect(nullptr, nullptr);
  return x;
}

void Lookup(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool there = state.range(1) != 0;
  MakeWindows(Windows(), count);
  std::string problem;
  const auto display = vt::posix::XDisplay::Open(problem);
  if (!display) {
    state.SkipWithError(problem.c_str());
    return;
  }
  const std::wstring title = there ? L"window " + std::to_wstring(count - 1) : L"Vwwebbrowser";
  for (auto _ : state) benchmark::DoNotOptimize(display->FindTopLevel(title));
  state.SetLabel(std::to_string(count) + " top-level windows, " + (there ? "found" : "none"));
}

// Windows are only ever added: the counts go up.
BENCHMARK(Lookup)->Args({100, 1})->Args({100, 0})->Args({1000, 1})->Args({1000, 0})->Unit(
    benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--hold") == 0) {
    xcb_connection_t* x = Windows();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const xcb_window_t window = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 10, 10, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(std::strlen(argv[2])), argv[2]);
    xcb_map_window(x, window);
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    std::puts("ready");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
