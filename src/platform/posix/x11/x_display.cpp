#include "platform/posix/x11/x_display.h"

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/posix/system/monotonic_clock.h"
#include "portable/case_fold.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

// A lookup that the server has not answered by then has no answer.
constexpr std::int64_t LookupBudgetMs = 1500;
// A title is read up to this many 32-bit units (4 KiB): a longer one is no watched title.
constexpr std::uint32_t TitleUnits = 1024;
// A window list is read up to this many windows.
constexpr std::uint32_t MostWindows = 65536;
const char* const WineDesktopSuffix = " - Wine desktop";
constexpr char Escape = 0x1B;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using ReplyPtr = std::unique_ptr<Reply, FreeReply>;

// A window property's text as its type says: UTF8_STRING is UTF-8, STRING Latin-1, and
// COMPOUND_TEXT as far as it stays Latin-1 (its first escape sequence ends it).
enum class TitleEncoding { Utf8, Latin1, CompoundText };

std::wstring DecodeTitle(const std::string& bytes, TitleEncoding encoding) {
  if (encoding == TitleEncoding::Utf8) return DecodeUtf8(bytes);
  std::wstring text;
  for (const char byte : bytes) {
    if (encoding == TitleEncoding::CompoundText && byte == Escape) break;
    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
  }
  return text;
}

// xcb_connect waits for the server's answer to its setup for as long as it takes: it is
// made on a thread of its own, which a server that never answers holds for ever.
struct Connecting {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  xcb_connection_t* x = nullptr;
  int screen = 0;
};

}  // namespace

struct XDisplay::Connection {
  std::string name;  // as DISPLAY says it
  std::shared_ptr<Connecting> connecting;
  bool unusable = false;  // it has no such screen
  bool set = false;       // the atoms are known
  // The requests of the last batch that were not answered by its deadline: no batch is
  // written before they are.
  std::vector<unsigned int> unanswered;
  xcb_connection_t* x = nullptr;
  xcb_window_t root = 0;
  xcb_atom_t clientList = XCB_ATOM_NONE;
  xcb_atom_t netName = XCB_ATOM_NONE;
  xcb_atom_t utf8 = XCB_ATOM_NONE;
  xcb_atom_t compoundText = XCB_ATOM_NONE;
  xcb_atom_t wmState = XCB_ATOM_NONE;
  std::int64_t deadline = 0;
  bool failed = false;  // this lookup's: the server broke off or did not answer in time

  ~Connection() {
    if (x != nullptr) xcb_disconnect(x);
  }
  bool Broken() const { return unusable || (x != nullptr && xcb_connection_has_error(x) != 0); }

  // The connection once it is made (waiting for it until the deadline): false while it
  // is not, or where the display cannot be opened (then Broken()).
  bool Connected() {
    if (x != nullptr) return true;
    std::unique_lock<std::mutex> lock(connecting->mutex);
    const std::int64_t left = deadline - MonotonicMs();
    connecting->done.wait_for(lock, std::chrono::milliseconds(std::max<std::int64_t>(left, 0)),
                              [this] { return connecting->finished; });
    if (!connecting->finished) return false;
    x = connecting->x;
    connecting->x = nullptr;
    if (Broken()) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x));
    for (int i = 0; i < connecting->screen && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
      unusable = true;
      return false;
    }
    root = screens.data->root;
    return true;
  }

  // Whether the requests of the last unanswered batch have all been answered now.
  bool Answered() {
    while (!unanswered.empty()) {
      void* reply = nullptr;
      xcb_generic_error_t* error = nullptr;
      if (xcb_poll_for_reply(x, unanswered.front(), &reply, &error) == 0) return false;
      std::free(reply);
      std::free(error);
      unanswered.erase(unanswered.begin());
    }
    return true;
  }

  // The replies of requests sent together, each waited for until the deadline; those
  // that do not come are null, and the lookup has failed. A batch is written whole into
  // the socket's buffer: at most one is outstanding at a time, far less than it holds.
  std::vector<ReplyPtr<void>> Await(const std::vector<unsigned int>& sequences) {
    xcb_flush(x);
    std::vector<ReplyPtr<void>> replies;
    replies.reserve(sequences.size());
    for (const unsigned int sequence : sequences) {
      void* reply = nullptr;
      if (!failed) {
        for (;;) {
          xcb_generic_error_t* error = nullptr;
          if (xcb_poll_for_reply(x, sequence, &reply, &error) != 0) {
            std::free(error);  // a window that went meanwhile: no reply, no harm
            break;
          }
          const std::int64_t left = deadline - MonotonicMs();
          if (left <= 0) {
            failed = true;
            break;
          }
          pollfd watched{xcb_get_file_descriptor(x), POLLIN, 0};
          ::poll(&watched, 1, static_cast<int>(left));
        }
        if (Broken()) failed = true;
      }
      if (failed && reply == nullptr) unanswered.push_back(sequence);
      replies.emplace_back(reply);
    }
    return replies;
  }

  // The atoms of the properties a lookup reads, asked for once.
  bool SetUp() {
    if (set) return true;
    const char* names[] = {"_NET_CLIENT_LIST", "_NET_WM_NAME", "UTF8_STRING", "COMPOUND_TEXT",
                           "WM_STATE"};
    std::vector<unsigned int> sequences;
    for (const char* atom : names) {
      sequences.push_back(
          xcb_intern_atom(x, 0, static_cast<std::uint16_t>(std::strlen(atom)), atom).sequence);
    }
    const auto atoms = Await(sequences);
    if (failed) return false;
    const auto atom = [&atoms, this](std::size_t i) {
      return Atom(static_cast<const xcb_intern_atom_reply_t*>(atoms[i].get()));
    };
    clientList = atom(0);
    netName = atom(1);
    utf8 = atom(2);
    compoundText = atom(3);
    wmState = atom(4);
    set = true;
    return true;
  }

  xcb_atom_t Atom(const xcb_intern_atom_reply_t* reply) const {
    return reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  }

  // Asks for a window's title property: _NET_WM_NAME or WM_NAME.
  unsigned int AskTitle(xcb_window_t window, xcb_atom_t property) const {
    return xcb_get_property(x, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, TitleUnits)
        .sequence;
  }

  // A window's title from the replies to AskTitle (its _NET_WM_NAME, else its WM_NAME); `whole` is
  // false when it is longer than what was read (no watched title is that long).
  std::wstring TitleOf(const void* net, const void* plain, bool& whole) const {
    const auto* property = static_cast<const xcb_get_property_reply_t*>(net);
    TitleEncoding encoding = TitleEncoding::Utf8;
    if (property == nullptr || property->type == XCB_ATOM_NONE) {
      property = static_cast<const xcb_get_property_reply_t*>(plain);
      if (property == nullptr || property->type == XCB_ATOM_NONE) {
        whole = false;
        return std::wstring();
      }
      encoding = property->type == utf8           ? TitleEncoding::Utf8
                 : property->type == compoundText ? TitleEncoding::CompoundText
                                                  : TitleEncoding::Latin1;
    }
    whole = property->bytes_after == 0 && property->format == 8;
    const auto* value = static_cast<const char*>(
        xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(property)));
    const int length = xcb_get_property_value_length(property);
    return DecodeTitle(std::string(value, static_cast<std::size_t>(std::max(length, 0))), encoding);
  }
};

XDisplay::XDisplay(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

XDisplay::~XDisplay() = default;

std::unique_ptr<XDisplay> XDisplay::Open(std::string& problem) {
  problem.clear();
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  auto connection = std::make_unique<Connection>();
  connection->name = name;
  connection->connecting = std::make_shared<Connecting>();
  std::thread([connecting = connection->connecting] {
    int screen = 0;
    xcb_connection_t* x = xcb_connect(nullptr, &screen);
    const std::lock_guard<std::mutex> lock(connecting->mutex);
    connecting->x = x;
    connecting->screen = screen;
    connecting->finished = true;
    connecting->done.notify_all();
  }).detach();
  // A display that cannot be opened says so at once; one that does not answer yet may.
  connection->deadline = MonotonicMs() + LookupBudgetMs;
  if (!connection->Connected() && connection->Broken()) {
    problem = std::string("the display ") + name +
              " (DISPLAY) cannot be opened: the visualisation's window is not watched";
    return nullptr;
  }
  return std::unique_ptr<XDisplay>(new XDisplay(std::move(connection)));
}

const std::string& XDisplay::Name() const {
  return connection_->name;
}

int XDisplay::Descriptor() {
  connection_->deadline = 0;  // only looks
  return connection_->Connected() ? xcb_get_file_descriptor(connection_->x) : -1;
}

bool XDisplay::Serve() {
  // Nothing is asked to be sent to us; whatever comes is taken and let go.
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_->x)) std::free(event);
  return !connection_->Broken();
}

WindowSearch XDisplay::FindTopLevel(const std::wstring& title) {
  constexpr WindowSearch None{};
  constexpr WindowSearch NoAnswer{WindowSearch::Outcome::NoAnswer, 0};
  Connection& c = *connection_;
  c.failed = false;
  c.deadline = MonotonicMs() + LookupBudgetMs;
  if (!c.Connected()) return c.Broken() ? None : NoAnswer;
  if (c.Broken()) return None;
  if (!c.Answered() || !c.SetUp()) return c.Broken() ? None : NoAnswer;
  const std::wstring wanted = UpperCaseText(title);
  static const std::wstring desktopSuffix = UpperCaseText(DecodeUtf8(WineDesktopSuffix));
  const auto children = [](const void* reply) {
    const auto* tree = static_cast<const xcb_query_tree_reply_t*>(reply);
    if (tree == nullptr) return std::vector<xcb_window_t>();
    const xcb_window_t* first = xcb_query_tree_children(tree);
    return std::vector<xcb_window_t>(first, first + xcb_query_tree_children_length(tree));
  };

  // The root's children, the window manager's list of clients, and whether a window
  // manager runs at all (it alone redirects the root's substructure): without one no
  // window is reparented, and the root's children are all the top-level windows.
  auto replies = c.Await(
      {xcb_query_tree(c.x, c.root).sequence,
       xcb_get_property(c.x, 0, c.root, c.clientList, XCB_ATOM_WINDOW, 0, MostWindows).sequence,
       xcb_get_window_attributes(c.x, c.root).sequence});
  if (c.failed) return c.Broken() ? None : NoAnswer;
  const auto* clients = static_cast<const xcb_get_property_reply_t*>(replies[1].get());
  const bool clientList =
      clients != nullptr && clients->type == XCB_ATOM_WINDOW && clients->format == 32;
  const auto* root = static_cast<const xcb_get_window_attributes_reply_t*>(replies[2].get());
  const bool searchClients = !clientList && root != nullptr &&
                             (root->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT) != 0;

  // Then round after round, each one batch: the titles of the windows found so far, and
  // the children of the windows to look under: without a client list the root's
  // children (the clients are the windows with WM_STATE under them), and Wine's virtual
  // desktops (each of their children is a top-level window).
  // A window's _NET_WM_NAME is asked for first; its WM_NAME, in the next round, only
  // where it has none (most windows have one: half the requests).
  struct Look {
    xcb_window_t window;
    bool client;  // its title counts only when it carries WM_STATE
    bool plain;   // it has no _NET_WM_NAME: its WM_NAME is asked for
  };
  // Each window's title is asked for once; one asked for as a client only (with
  // WM_STATE) is asked for again where it counts without.
  std::unordered_set<xcb_window_t> seen;
  std::unordered_set<xcb_window_t> seenAsClient;
  const auto first = [&seen, &seenAsClient](xcb_window_t window, bool client) {
    if (seen.count(window) != 0) return false;
    if (!client) return seen.insert(window).second;
    return seenAsClient.insert(window).second;
  };
  std::vector<Look> titles;
  std::vector<Look> under;  // `client`: its children are clients only with WM_STATE
  for (const xcb_window_t window : children(replies[0].get())) {
    if (first(window, false)) titles.push_back({window, false, false});
    if (searchClients) under.push_back({window, true, false});
  }
  if (clientList) {
    const auto* windows = static_cast<const xcb_window_t*>(
        xcb_get_property_value(const_cast<xcb_get_property_reply_t*>(clients)));
    const int count = xcb_get_property_value_length(clients) / 4;
    for (int i = 0; i < count; ++i) {
      if (first(windows[i], false)) titles.push_back({windows[i], false, false});
    }
  }
  constexpr int MostRounds = 8;
  for (int round = 0; round < MostRounds && !(titles.empty() && under.empty()); ++round) {
    std::vector<unsigned int> sequences;
    for (const Look& look : titles) {
      if (look.plain) {
        sequences.push_back(c.AskTitle(look.window, XCB_ATOM_WM_NAME));
        continue;
      }
      if (look.client) {
        sequences.push_back(
            xcb_get_property(c.x, 0, look.window, c.wmState, XCB_GET_PROPERTY_TYPE_ANY, 0, 0)
                .sequence);
      }
      sequences.push_back(c.AskTitle(look.window, c.netName));
    }
    for (const Look& look : under) sequences.push_back(xcb_query_tree(c.x, look.window).sequence);
    replies = c.Await(sequences);
    if (c.failed) return c.Broken() ? None : NoAnswer;
    std::vector<Look> nextTitles;
    std::vector<Look> nextUnder;
    std::size_t at = 0;
    for (const Look& look : titles) {
      const void* net = nullptr;
      const void* plain = nullptr;
      if (look.plain) {
        plain = replies[at++].get();
      } else {
        if (look.client) {
          const auto* state = static_cast<const xcb_get_property_reply_t*>(replies[at++].get());
          if (state == nullptr || state->type == XCB_ATOM_NONE) {
            ++at;  // not a client: its title does not count
            continue;
          }
        }
        net = replies[at++].get();
        const auto* property = static_cast<const xcb_get_property_reply_t*>(net);
        if (property == nullptr || property->type == XCB_ATOM_NONE) {
          nextTitles.push_back({look.window, false, true});
          continue;
        }
      }
      bool whole = false;
      std::wstring found = c.TitleOf(net, plain, whole);
      if (!whole) continue;
      // Letter case changes no title's length: most titles are told apart by it alone.
      if (found.size() != wanted.size() && found.size() <= desktopSuffix.size()) continue;
      found = UpperCaseText(found);
      if (found == wanted) return WindowSearch::Of(look.window);
      if (found.size() > desktopSuffix.size() &&
          found.compare(found.size() - desktopSuffix.size(), desktopSuffix.size(), desktopSuffix) ==
              0)
        nextUnder.push_back({look.window, false, false});
    }
    for (const Look& look : under) {
      for (const xcb_window_t window : children(replies[at++].get())) {
        if (first(window, look.client)) nextTitles.push_back({window, look.client, false});
      }
    }
    titles.swap(nextTitles);
    under.swap(nextUnder);
  }
  return None;
}

}  // namespace vt::posix
