// A temporary folder, removed with everything in it when the object goes.
#pragma once

#include <string>

namespace quillet::bench {

class TempFolder {
  public:
    TempFolder();  // throws std::runtime_error when no folder can be made
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Writes `text` to `path`, replacing what was there; throws std::runtime_error on failure.
void WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace quillet::bench
