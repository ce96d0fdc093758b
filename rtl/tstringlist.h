// Ordered list of text lines that can be saved as a text file.
#pragma once

#include <string>
#include <vector>

class TStringList {
 public:
  void Add(const std::string& line) { lines_.push_back(line); }
  void Clear() { lines_.clear(); }
  size_t Count() const { return lines_.size(); }
  const std::string& operator[](size_t index) const { return lines_[index]; }
  const std::vector<std::string>& Lines() const { return lines_; }

  // The file is created anew (CREATE_ALWAYS, read and write, no sharing) and every line is
  // written followed by CR LF, the last one too. Raises EFCreateError "Cannot create file %s"
  // when it cannot be created and EWriteError "Stream write error" when a write falls short.
  void SaveToFile(const std::string& fileName) const;

 private:
  std::vector<std::string> lines_;
};
