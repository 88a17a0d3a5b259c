#include "support/watcher.hpp"

#include <chrono>
#include <filesystem>

#include "run/run_marker.hpp"

watcher::watcher(const std::string& path_name)
    : watch_thread([this, path_name] {
          while (!end.load()) {
              std::error_code error;
              for (const auto& entry : std::filesystem::directory_iterator(path_name, error)) {
                  if (is_marker_name(entry.path().filename().string())) continue;
                  const auto size = std::filesystem::file_size(entry.path(), error);
                  auto& maximum = seen[entry.path().filename().string()];
                  if (!error && size > maximum) maximum = size;
              }
              std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
      }) {}

std::map<std::string, std::uintmax_t> watcher::stop_watching() {
    end.store(true);
    watch_thread.join();
    return seen;
}
