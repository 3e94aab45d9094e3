#include "crash/send/x_top_windows.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace userdb::crash {

namespace {

// A window manager's frame holds the client window a level or two below it.
constexpr int kClientSearchDepth = 3;
constexpr size_t kClientSearchWindows = 1024;
constexpr uint32_t kIconicState = 3;

struct Atoms {
  uint32_t pid = 0;
  uint32_t wm_state = 0;
  uint32_t net_wm_state = 0;
  uint32_t hidden = 0;
};

struct ClientFacts {
  std::optional<uint32_t> pid;
  std::optional<std::string> host;
  bool minimized = false;
};

XReply<xcb_get_property_reply_t> Property(XConnection& connection, xcb_window_t window,
                                          uint32_t atom, uint32_t longs) {
  if (atom == 0) return nullptr;
  const auto cookie =
      xcb_get_property(connection.Get(), 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, longs);
  return connection.Await<xcb_get_property_reply_t>(cookie.sequence);
}

// The property's 32-bit values.
std::vector<uint32_t> Cardinals(const xcb_get_property_reply_t* reply) {
  if (reply == nullptr || reply->format != 32) return {};
  const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply));
  return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply) / 4);
}

// The client window of a top-level window: the window itself, or the first window below it,
// level by level, that carries _NET_WM_PID or WM_STATE; none when there is no such window.
// A frame holds many windows of its own (openbox: dozens), so each level's questions go
// to the server together.
std::optional<xcb_window_t> ClientOf(XConnection& connection, xcb_window_t top,
                                     const Atoms& atoms) {
  std::vector<xcb_window_t> level = {top};
  for (int depth = 0; depth < kClientSearchDepth && !level.empty(); ++depth) {
    std::vector<xcb_get_property_cookie_t> questions;
    for (const xcb_window_t window : level) {
      for (const uint32_t atom : {atoms.pid, atoms.wm_state}) {
        questions.push_back(
            xcb_get_property(connection.Get(), 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, 1));
      }
    }
    std::optional<xcb_window_t> client;
    for (size_t i = 0; i < questions.size(); ++i) {
      // Every answer is collected, so that none is left waiting on the connection.
      const auto answer = connection.Await<xcb_get_property_reply_t>(questions[i].sequence);
      if (!client && answer && answer->type != XCB_NONE) client = level[i / 2];
    }
    if (client || !connection.Usable()) return client;
    std::vector<xcb_query_tree_cookie_t> trees;
    for (const xcb_window_t window : level)
      trees.push_back(xcb_query_tree(connection.Get(), window));
    std::vector<xcb_window_t> below;
    for (const auto& cookie : trees) {
      const auto tree = connection.Await<xcb_query_tree_reply_t>(cookie.sequence);
      if (!tree) continue;
      const xcb_window_t* children = xcb_query_tree_children(tree.get());
      below.insert(below.end(), children, children + xcb_query_tree_children_length(tree.get()));
    }
    if (below.size() > kClientSearchWindows) below.resize(kClientSearchWindows);
    level = std::move(below);
  }
  return std::nullopt;
}

ClientFacts FactsOf(XConnection& connection, xcb_window_t client, const Atoms& atoms) {
  ClientFacts facts;
  const std::vector<uint32_t> pid = Cardinals(Property(connection, client, atoms.pid, 1).get());
  if (!pid.empty()) facts.pid = pid.front();
  const auto machine = Property(connection, client, XCB_ATOM_WM_CLIENT_MACHINE, 256);
  if (machine && machine->format == 8 && machine->type != XCB_NONE) {
    const auto* text = static_cast<const char*>(xcb_get_property_value(machine.get()));
    facts.host = std::string(text, strnlen(text, xcb_get_property_value_length(machine.get())));
  }
  const std::vector<uint32_t> wm_state =
      Cardinals(Property(connection, client, atoms.wm_state, 1).get());
  const std::vector<uint32_t> net_state =
      Cardinals(Property(connection, client, atoms.net_wm_state, 64).get());
  facts.minimized = (!wm_state.empty() && wm_state.front() == kIconicState) ||
                    (atoms.hidden != 0 && std::find(net_state.begin(), net_state.end(),
                                                    atoms.hidden) != net_state.end());
  return facts;
}

}  // namespace

bool IsServerWindow(xcb_window_t window, const xcb_setup_t& setup) {
  // An id carries its client's number in the bits above the resource part; the server's
  // own number is 0.
  return (window & ~setup.resource_id_mask) == 0;
}

std::optional<std::vector<XTopWindow>> VisibleTopWindows(XConnection& connection, pid_t process,
                                                         const std::string& host) {
  const Atoms atoms{connection.ExistingAtom("_NET_WM_PID"), connection.ExistingAtom("WM_STATE"),
                    connection.ExistingAtom("_NET_WM_STATE"),
                    connection.ExistingAtom("_NET_WM_STATE_HIDDEN")};
  const auto tree = connection.Await<xcb_query_tree_reply_t>(
      xcb_query_tree(connection.Get(), connection.Screen().root).sequence);
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());

  // Ask for every window's attributes and geometry at once, then collect the answers.
  std::vector<xcb_get_window_attributes_cookie_t> attribute_cookies;
  std::vector<xcb_get_geometry_cookie_t> geometry_cookies;
  for (int i = 0; i < count; ++i) {
    attribute_cookies.push_back(xcb_get_window_attributes(connection.Get(), children[i]));
    geometry_cookies.push_back(xcb_get_geometry(connection.Get(), children[i]));
  }
  const xcb_setup_t& setup = *xcb_get_setup(connection.Get());
  std::vector<XTopWindow> windows;
  for (int i = 0; i < count; ++i) {
    const auto attributes =
        connection.Await<xcb_get_window_attributes_reply_t>(attribute_cookies[i].sequence);
    const auto geometry = connection.Await<xcb_get_geometry_reply_t>(geometry_cookies[i].sequence);
    if (!connection.Usable()) return std::nullopt;
    // A window that vanished meanwhile answers with an error: it shows nothing.
    if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT || IsServerWindow(children[i], setup)) {
      continue;
    }
    XTopWindow window;
    window.id = children[i];
    const int border = geometry->border_width;
    window.outer = {geometry->x, geometry->y, geometry->width + 2 * border,
                    geometry->height + 2 * border};
    window.inner = {geometry->x + border, geometry->y + border, geometry->width, geometry->height};
    if (const auto client = ClientOf(connection, window.id, atoms)) {
      const ClientFacts facts = FactsOf(connection, *client, atoms);
      if (facts.minimized) continue;
      window.own =
          facts.pid == static_cast<uint32_t>(process) && (!facts.host || *facts.host == host);
    }
    windows.push_back(window);
  }
  if (!connection.Usable()) return std::nullopt;
  return windows;
}

}  // namespace userdb::crash
