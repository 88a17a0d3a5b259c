#include "support/browser.hpp"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/temporary_directory.hpp"

namespace fs = std::filesystem;

namespace {

// What the browser does of its own accord, turned off: first-run pages, component and
// extension updates, network time, sync. Requests that remain still go nowhere, since no host
// name resolves.
const std::vector<std::string> shared_flags = {
    "--headless",
    "--no-sandbox",  // tests run as root in CI, where the sandbox refuses to start
    "--disable-gpu",
    "--no-first-run",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-extensions",
    "--disable-sync",
    "--disable-default-apps",
    "--disable-features=NetworkTimeServiceQuerying,OptimizationHints,MediaRouter,Translate",
    "--host-resolver-rules=MAP * ~NOTFOUND",
};

// The last lines of the browser's standard error but its complaints about D-Bus, which there
// is none of here: the rest says what went wrong.
std::string tail(const std::string& text) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.find(":ERROR:dbus/") == std::string::npos) kept += line + "\n";
    const std::size_t keep = 4000;
    return kept.size() <= keep ? kept : "..." + kept.substr(kept.size() - keep);
}

bool readable(const std::string& file_name, std::string& error) {
    std::error_code ignore;
    if (fs::is_regular_file(file_name, ignore)) return true;
    error = "no such file: " + file_name;
    return false;
}

}  // namespace

bool find_browser(std::string& binary, std::string& why_not) {
    const char* path = std::getenv("PATH");
    for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
        std::istringstream directories(path == nullptr ? "" : path);
        std::string directory;
        while (std::getline(directories, directory, ':')) {
            const std::string candidate = (fs::path(directory.empty() ? "." : directory) / name).string();
            if (access(candidate.c_str(), X_OK) == 0) {
                binary = candidate;
                return true;
            }
        }
    }
    why_not = "no chromium, chromium-browser or google-chrome on PATH (apt-get install chromium)";
    return false;
}

std::string file_url(const std::string& file_name) {
    std::error_code ignore;
    const std::string path = fs::absolute(file_name, ignore).lexically_normal().string();
    std::string url = "file://";
    const char* hex = "0123456789ABCDEF";
    for (const unsigned char c : path) {
        if (std::isalnum(c) != 0 || std::string("/-._~").find(static_cast<char>(c)) != std::string::npos) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

bool start_browser(child_process& browser, const std::string& profile, const std::vector<std::string>& arguments,
                   const std::vector<int>& descriptors, std::string& error) {
    std::string binary;
    if (!find_browser(binary, error)) return false;
    if (profile.empty()) {
        error = "no directory for the browser's profile";
        return false;
    }
    std::vector<std::string> all = shared_flags;
    all.push_back("--user-data-dir=" + profile + "/data");
    all.insert(all.end(), arguments.begin(), arguments.end());
    // Left to itself the browser writes crash report settings and caches under the home
    // directory and its files under /tmp.
    launch_options options;
    options.environment = {"HOME=" + profile, "XDG_CONFIG_HOME=" + profile, "XDG_CACHE_HOME=" + profile,
                           "TMPDIR=" + profile};
    options.descriptors = descriptors;
    if (launch(browser, binary, all, options)) return true;
    error = "cannot start " + binary;
    return false;
}

bool end_browser(child_process& browser, int timeout_ms, std::string& error) {
    finish(browser, timeout_ms > 0 ? timeout_ms : 1);
    if (browser.status == 0) return true;
    error = "chromium ended with status " + std::to_string(browser.status) + ":\n" + tail(browser.error_text);
    return false;
}

bool page_dom(const std::string& html_file, const std::string& work_directory, std::string& dom, std::string& error) {
    if (!readable(html_file, error)) return false;
    const temporary_directory profile(work_directory);
    child_process browser;
    if (!start_browser(browser, profile.path_name, {"--dump-dom", file_url(html_file)}, {}, error)) return false;
    if (!end_browser(browser, browser_timeout_ms, error)) return false;
    dom = browser.text;
    return true;
}

bool page_screenshot(const std::string& html_file, const std::string& work_directory, const std::string& png_file,
                     int width, int height, std::string& error) {
    if (!readable(html_file, error)) return false;
    const temporary_directory profile(work_directory);
    child_process browser;
    const std::vector<std::string> arguments = {"--hide-scrollbars",
                                                "--window-size=" + std::to_string(width) + "," + std::to_string(height),
                                                "--screenshot=" + fs::absolute(png_file).string(), file_url(html_file)};
    if (!start_browser(browser, profile.path_name, arguments, {}, error)) return false;
    if (!end_browser(browser, browser_timeout_ms, error)) return false;
    if (size_of_file(png_file) > 0) return true;
    error = "chromium wrote no screenshot to " + png_file + ":\n" + tail(browser.error_text);
    return false;
}
