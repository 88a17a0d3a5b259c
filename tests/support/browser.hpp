// Headless Chromium, for tests of the HTML report: the page's DOM once loaded, a screenshot,
// and every URL the page asks for. Each call starts a browser of its own, with its profile,
// home and temporary files in a directory it makes under `work_directory` (the test's
// temporary directory) and removes afterwards; a browser still running after
// browser_timeout_ms is killed. Nothing leaves the machine: every host name fails to resolve.
#pragma once

#include <string>
#include <vector>

#include "support/process.hpp"

inline constexpr int browser_timeout_ms = 60000;

// The first of chromium, chromium-browser and google-chrome on PATH; when there is none,
// `why_not` says so, for GTEST_SKIP.
bool find_browser(std::string& binary, std::string& why_not);

// The DOM serialized after the page has loaded.
bool page_dom(const std::string& html_file, const std::string& work_directory, std::string& dom, std::string& error);

// The page as shown in a window of `width` x `height` pixels, written as a PNG file.
bool page_screenshot(const std::string& html_file, const std::string& work_directory, const std::string& png_file,
                     int width, int height, std::string& error);

// Every URL the page requested while it loaded and in the moment after, in order, but its own
// and data:, blob: and about: URLs: resources from the web, WebSockets and other local files,
// from markup, CSS and scripts alike.
bool network_requests(const std::string& html_file, const std::string& work_directory, std::vector<std::string>& urls,
                      std::string& error);

// For the functions above: the file's absolute file:// URL, percent-encoded.
std::string file_url(const std::string& file_name);

// Starts the browser with the flags every run shares followed by `arguments`, its profile in
// `profile`; `descriptors` become its descriptors 3, 4, ...
bool start_browser(child_process& browser, const std::string& profile, const std::vector<std::string>& arguments,
                   const std::vector<int>& descriptors, std::string& error);

// Waits for the browser to end, at most `timeout_ms`; false with its standard error in
// `error` unless it ended with status 0.
bool end_browser(child_process& browser, int timeout_ms, std::string& error);
