// network_requests: the page loaded in a browser driven over the DevTools protocol on a socket
// (--remote-debugging-pipe). The browser's network log would not do: the page's file: requests
// never reach the network stack and so never appear in it, where DevTools reports them all.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>

#include "support/browser.hpp"
#include "support/temporary_directory.hpp"

using json = nlohmann::json;
using clock_type = std::chrono::steady_clock;

namespace {

// After its load event the page is done once it has asked for nothing for quiet_ms, or
// settle_ms have passed: time enough for a script's late request.
constexpr int quiet_ms = 500;
constexpr int settle_ms = 5000;

// One end of the socket to the browser, and what has come through it.
struct devtools_link {
    devtools_link() = default;
    ~devtools_link() {
        if (socket >= 0) close(socket);
    }
    devtools_link(const devtools_link&) = delete;
    devtools_link& operator=(const devtools_link&) = delete;

    int socket = -1;
    child_process* browser = nullptr;
    clock_type::time_point deadline;
    std::string pending;  // read but not yet a whole message
    int last_id = 0;
    std::string session;  // the page's, once attached
    std::string page_url;
    std::string main_frame;  // the tab's, whose id is its target's
    bool page_requested = false;
    bool loaded = false;
    std::vector<std::string> urls;
};

int remaining_ms(clock_type::time_point limit) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - clock_type::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// The next whole message, waiting at most until `limit`: false with `error` empty when none
// came by then, with `error` set when the browser closed the socket or spoke nonsense.
bool next_message(devtools_link& link, clock_type::time_point limit, json& message, std::string& error) {
    error.clear();
    for (;;) {
        const std::size_t end = link.pending.find('\0');
        if (end != std::string::npos) {
            message = json::parse(link.pending.substr(0, end), nullptr, false);
            link.pending.erase(0, end + 1);
            if (!message.is_discarded()) return true;
            error = "chromium sent a DevTools message that is not JSON";
            return false;
        }
        pollfd waiting[3] = {
            {link.socket, POLLIN, 0}, {link.browser->output, POLLIN, 0}, {link.browser->errors, POLLIN, 0}};
        const int ready = poll(waiting, 3, remaining_ms(limit));
        if (ready == 0) return false;
        if (ready < 0) {
            if (errno == EINTR) continue;
            error = "poll failed";
            return false;
        }
        if (waiting[1].revents != 0) read_into(link.browser->output, link.browser->text);
        if (waiting[2].revents != 0) read_into(link.browser->errors, link.browser->error_text);
        if (waiting[0].revents != 0) {
            char chunk[65536];
            const ssize_t got = recv(link.socket, chunk, sizeof chunk, 0);
            if (got <= 0) {
                error = "chromium closed its DevTools socket";
                return false;
            }
            link.pending.append(chunk, static_cast<std::size_t>(got));
        }
    }
}

// Keeps the URL of a request the page made, and notes its load event. The tab's first document
// request is the page's own, whatever the browser made of its URL.
void note(devtools_link& link, const json& message) {
    const std::string method = message.value("method", "");
    const json params = message.value("params", json::object());
    if (method == "Page.loadEventFired" && message.value("sessionId", "") == link.session) link.loaded = true;
    std::string url;
    if (method == "Network.requestWillBeSent") {
        url = params.value("request", json::object()).value("url", "");
        if (!link.page_requested && params.value("type", "") == "Document" &&
            params.value("frameId", "") == link.main_frame) {
            link.page_requested = true;
            return;
        }
    }
    if (method == "Network.webSocketCreated") url = params.value("url", "");
    const bool inline_data = url.rfind("data:", 0) == 0 || url.rfind("blob:", 0) == 0 || url.rfind("about:", 0) == 0;
    if (!url.empty() && !inline_data) link.urls.push_back(url);
}

bool send_all(int socket, const std::string& text) {
    for (std::size_t sent = 0; sent < text.size();) {
        const ssize_t count = send(socket, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

// Sends a command, to the page's session when `to_page`, and waits for its answer, noting
// the events that come first.
bool call(devtools_link& link, const std::string& method, const json& params, bool to_page, json& result,
          std::string& error) {
    json command = {{"id", ++link.last_id}, {"method", method}, {"params", params}};
    if (to_page) command["sessionId"] = link.session;
    if (!send_all(link.socket, command.dump() + std::string(1, '\0'))) {
        error = "cannot send " + method + " to chromium";
        return false;
    }
    for (;;) {
        json reply;
        if (!next_message(link, link.deadline, reply, error)) {
            if (error.empty()) error = "chromium did not answer " + method + " in time";
            return false;
        }
        if (reply.value("id", 0) != link.last_id) {
            note(link, reply);
        } else if (reply.contains("error")) {
            error = method + " failed: " + reply["error"].dump();
            return false;
        } else {
            result = reply.value("result", json::object());
            return true;
        }
    }
}

// Opens the page in a new tab with request events on, then reads events until it has loaded
// and gone quiet.
bool watch_page(devtools_link& link, std::string& error) {
    json result;
    if (!call(link, "Target.createTarget", {{"url", "about:blank"}}, false, result, error)) return false;
    link.main_frame = result.value("targetId", "");
    const json attach = {{"targetId", link.main_frame}, {"flatten", true}};
    if (!call(link, "Target.attachToTarget", attach, false, result, error)) return false;
    link.session = result.value("sessionId", "");
    if (!call(link, "Network.enable", json::object(), true, result, error) ||
        !call(link, "Page.enable", json::object(), true, result, error) ||
        !call(link, "Page.navigate", {{"url", link.page_url}}, true, result, error))
        return false;
    if (result.contains("errorText")) {
        error = "chromium could not open " + link.page_url + ": " + result["errorText"].dump();
        return false;
    }
    json message;
    while (!link.loaded) {
        if (!next_message(link, link.deadline, message, error)) {
            if (error.empty()) error = "the page had not loaded when the time was up";
            return false;
        }
        note(link, message);
    }
    const auto settled = std::min(clock_type::now() + std::chrono::milliseconds(settle_ms), link.deadline);
    for (;;) {
        const auto quiet = std::min(clock_type::now() + std::chrono::milliseconds(quiet_ms), settled);
        if (!next_message(link, quiet, message, error)) return error.empty();
        note(link, message);
    }
}

}  // namespace

bool network_requests(const std::string& html_file, const std::string& work_directory, std::vector<std::string>& urls,
                      std::string& error) {
    if (size_of_file(html_file) < 0) {
        error = "no such file: " + html_file;
        return false;
    }
    const temporary_directory profile(work_directory);
    child_process browser;
    devtools_link link;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        error = "cannot make a socket for chromium";
        return false;
    }
    link.socket = ends[0];
    // The browser reads commands from its descriptor 3 and writes answers to 4: here both
    // are the other end of the socket.
    const bool started = start_browser(browser, profile.path_name, {"--remote-debugging-pipe", "about:blank"},
                                       {ends[1], ends[1]}, error);
    close(ends[1]);
    if (!started) return false;
    link.browser = &browser;
    link.deadline = clock_type::now() + std::chrono::milliseconds(browser_timeout_ms);
    link.page_url = file_url(html_file);
    if (!watch_page(link, error)) {
        kill(browser.pid, SIGKILL);
        std::string ended;
        end_browser(browser, browser_timeout_ms, ended);
        error += "\n" + ended;
        return false;
    }
    json ignore;
    std::string close_error;
    call(link, "Browser.close", json::object(), false, ignore, close_error);
    if (!end_browser(browser, std::max(remaining_ms(link.deadline), 1), error)) return false;
    urls = link.urls;
    return true;
}
